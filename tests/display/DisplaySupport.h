// What the display tests share: a frame that can be told to fail making its
// full-screen bar, and small waits on the event loop.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QToolBar>
#include <QToolButton>

#include "app/FullScreenBar.h"
#include "app/MainFrame.h"
#include "protocol/ISoundPlayer.h"

class CSilentPlayer : public ISoundPlayer {
public:
    void PlayOnce(int) override {}
    void PlayLooping(int) override {}
    void Stop() override {}
};

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

// Runs the event loop until bDone() holds or nMs pass; true if it held.
template <typename Predicate>
bool WaitFor(Predicate bDone, int nMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!bDone()) {
        if (timer.elapsed() > nMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

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
