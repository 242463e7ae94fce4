// What the display tests share: a frame that can be told to fail making its
// full-screen bar, and small waits on the event loop.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QToolBar>
#include <QToolButton>

#include "app/FullScreenBar.h"
#include "app/MainFrame.h"
#include "tests/support/EventWait.h"
#include "tests/support/RecordingSoundPlayer.h"

// A frame whose next nFailures attempts to make the full-screen bar fail,
// as when the bar's image cannot be loaded.
class CTestFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;

    int m_nBarFailures = 0;
    int m_nBarAttempts = 0;

protected:
    CFullScreenBar* CreateFullScreenBar() override
    {
        ++m_nBarAttempts;
        if (m_nBarFailures > 0) {
            --m_nBarFailures;
            return nullptr;
        }
        return CMainFrame::CreateFullScreenBar();
    }
};

using testsupport::WaitForEvents;

inline QRect GlobalRect(const QWidget& widget)
{
    return QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size());
}

// Every full-screen bar that still exists as a widget, shown or not.
inline int LiveFullScreenBars()
{
    int n = 0;
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        n += qobject_cast<CFullScreenBar*>(pWidget) != nullptr;
    return n;
}

inline QToolButton* BarButton(const CFullScreenBar& bar)
{
    return qobject_cast<QToolButton*>(bar.ToolBar()->widgetForAction(bar.Button()));
}

inline void FlushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
