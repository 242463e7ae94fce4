// The screen reader tests run on a real X server with Qt's AT-SPI bridge on a
// private session bus (CMakeLists.txt): waking the accessibility bus, waiting
// until Qt has joined it, recording what Qt tells screen readers, and
// counting the frames a widget paints.
#pragma once

#include <gtest/gtest.h>

#include <QAccessible>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QEvent>
#include <QObject>
#include <QString>

#include <vector>

#include "tests/support/EventWait.h"
#include "tests/support/HangGuard.h"
#include "tests/support/NeedTool.h"

namespace a11ytest {

using testsupport::WaitForEvents;

// Asks the session bus for the accessibility bus, which starts it; Qt's
// bridge joins it once it is there. False without a session bus.
inline bool WakeAccessibility()
{
    if (QAccessible::isActive())
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusMessage msg = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
        QStringLiteral("GetAddress"));
    const QDBusPendingCall call = bus.asyncCall(msg, testsupport::HangGuardMs);
    if (!WaitForEvents([&] { return call.isFinished(); }) || call.isError())
        return false;
    return WaitForEvents([] { return QAccessible::isActive(); });
}

// One update Qt would have sent to the screen reader.
struct Told {
    QAccessible::Event nType;
    QObject* pObject;
    // The description it carried, or the text inserted or removed.
    QString strText;
    int nPosition = -1;
};

// Takes the updates instead of Qt's bridge while it lives.
class CToldRecorder {
public:
    CToldRecorder()
    {
        s_pRecorder = this;
        QAccessible::installUpdateHandler(&CToldRecorder::Handle);
    }
    ~CToldRecorder()
    {
        QAccessible::installUpdateHandler(nullptr);
        s_pRecorder = nullptr;
    }
    CToldRecorder(const CToldRecorder&) = delete;
    CToldRecorder& operator=(const CToldRecorder&) = delete;

    std::vector<Told> Of(const QObject* pObject, QAccessible::Event nType) const
    {
        std::vector<Told> found;
        for (const Told& told : m_told) {
            if (told.pObject == pObject && told.nType == nType)
                found.push_back(told);
        }
        return found;
    }

    std::vector<Told> m_told;

private:
    static void Handle(QAccessibleEvent* pEvent)
    {
        Told told{pEvent->type(), pEvent->object(), QString()};
        switch (pEvent->type()) {
        case QAccessible::DescriptionChanged:
            if (QAccessibleInterface* pIface = pEvent->accessibleInterface())
                told.strText = pIface->text(QAccessible::Description);
            break;
        case QAccessible::TextInserted: {
            const auto* pInsert = static_cast<QAccessibleTextInsertEvent*>(pEvent);
            told.strText = pInsert->textInserted();
            told.nPosition = pInsert->changePosition();
            break;
        }
        case QAccessible::TextRemoved: {
            const auto* pRemove = static_cast<QAccessibleTextRemoveEvent*>(pEvent);
            told.strText = pRemove->textRemoved();
            told.nPosition = pRemove->changePosition();
            break;
        }
        default:
            break;
        }
        if (s_pRecorder)
            s_pRecorder->m_told.push_back(told);
    }

    static inline CToldRecorder* s_pRecorder = nullptr;
};

// Counts the paint events an object receives: a frame painted.
class CPaintCounter : public QObject {
public:
    explicit CPaintCounter(QObject* pWatched)
    {
        pWatched->installEventFilter(this);
    }
    int m_nPaints = 0;

    // Runs the event loop until another frame has been painted.
    bool WaitForPaint()
    {
        const int nBefore = m_nPaints;
        return WaitForEvents([&] { return m_nPaints > nBefore; });
    }

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint)
            ++m_nPaints;
        return false;
    }
};

// The tests need Qt's bridge on the accessibility bus; elsewhere (no session
// bus) they are skipped, or failed under CI.
class AccessibleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QUADO_NEED(WakeAccessibility(), "Qt's accessibility bridge on a session bus (dbus-run-session, at-spi2-core)");
    }
};

} // namespace a11ytest
