// systemd's side, read through a NOTIFY_SOCKET the test binds itself: ready
// once the board has been painted, the status line as it changes, and
// watchdog pings that come from the UI thread's loop, so that they stop
// while it is blocked and come back after.
#include <gtest/gtest.h>

#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "fleet/SystemdNotifier.h"
#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/EventWait.h"
#include "tests/support/NeedTool.h"

namespace {

using fleettest::CNotifySocket;
using testsupport::WaitForEvents;

class SystemdNotify : public ::testing::Test {
protected:
    void SetUp() override { QUADO_NEED_TOOL(!m_socket.IsOpen(), "a unix datagram socket in a temporary folder"); }
    void TearDown() override
    {
        unsetenv("NOTIFY_SOCKET");
        unsetenv("WATCHDOG_USEC");
    }

    // Runs the UI thread's events until a datagram equal to strWanted came.
    bool WaitDatagram(const std::string& strWanted)
    {
        return WaitForEvents([&] {
            for (std::string& str : m_socket.Take())
                m_vecSeen.push_back(std::move(str));
            return std::find(m_vecSeen.begin(), m_vecSeen.end(), strWanted) != m_vecSeen.end();
        });
    }
    size_t Seen(const std::string& strWanted) const
    {
        return static_cast<size_t>(std::count(m_vecSeen.begin(), m_vecSeen.end(), strWanted));
    }

    CNotifySocket m_socket;
    std::vector<std::string> m_vecSeen;
};

TEST_F(SystemdNotify, ReadyAfterTheFirstPaintThenStatusAndPingsThatStopWhileTheUiThreadIsBlocked)
{
    setenv("NOTIFY_SOCKET", m_socket.Path().toLocal8Bit().constData(), 1);
    setenv("WATCHDOG_USEC", "100000", 1);
    ASSERT_TRUE(CSystemdNotifier::IsWanted());
    std::string strStatus = "NOT CONNECTED";
    QWidget view;
    view.resize(200, 100);
    CSystemdNotifier notifier([&strStatus] { return strStatus; });
    notifier.Start(&view, false);
    EXPECT_EQ(notifier.PingIntervalMs(), 50);
    ASSERT_TRUE(WaitDatagram("WATCHDOG=1"));
    EXPECT_FALSE(notifier.IsReady()) << "ready before anything was painted";

    view.show();
    ASSERT_TRUE(WaitDatagram("READY=1\nSTATUS=NOT CONNECTED"));
    // As the adapter window tells of a new status line.
    strStatus = "CONNECTED\n115200";
    notifier.CheckStatus();
    ASSERT_TRUE(WaitDatagram("STATUS=CONNECTED 115200"));

    // Blocked: the loop that pings is the one that is stuck.
    m_socket.Take();
    std::this_thread::sleep_for(std::chrono::milliseconds(10 * notifier.PingIntervalMs()));
    const std::vector<std::string> vecWhileBlocked = m_socket.Take();
    EXPECT_EQ(std::count(vecWhileBlocked.begin(), vecWhileBlocked.end(), "WATCHDOG=1"), 0);
    // Free again, it pings again.
    m_vecSeen.clear();
    EXPECT_TRUE(WaitDatagram("WATCHDOG=1"));
    notifier.Stopping();
    EXPECT_TRUE(WaitDatagram("STOPPING=1"));
}

TEST_F(SystemdNotify, QuadoDemoStartedByANotifyUnitTellsReadyAndPings)
{
    fleettest::CDemo demo;
    ASSERT_TRUE(demo.Start({"--kiosk"}, {"NOTIFY_SOCKET=" + m_socket.Path(), "WATCHDOG_USEC=400000"}));
    ASSERT_TRUE(WaitForEvents([&] {
        for (std::string& str : m_socket.Take())
            m_vecSeen.push_back(std::move(str));
        return std::any_of(m_vecSeen.begin(), m_vecSeen.end(),
                           [](const std::string& s) { return s.rfind("READY=1\nSTATUS=", 0) == 0; }) &&
               Seen("WATCHDOG=1") >= 3;
    }));
    EXPECT_EQ(demo.Terminate(), 0);
    EXPECT_TRUE(WaitDatagram("STOPPING=1"));
}

// Everything the notifier ever says, said without NOTIFY_SOCKET, reaches no
// socket; then the same with it set, as a control that this socket would
// have heard it. A datagram goes into the socket's queue before sendmsg
// returns, so one sent in the first part would come before the control's.
TEST_F(SystemdNotify, WithoutNotifySocketNoDatagramIsSent)
{
    unsetenv("NOTIFY_SOCKET");
    setenv("WATCHDOG_USEC", "100000", 1);
    EXPECT_FALSE(CSystemdNotifier::IsWanted());
    std::string strStatus = "NOT CONNECTED";
    {
        CSystemdNotifier silent([&strStatus] { return strStatus; });
        silent.Start(nullptr, true);
        ASSERT_TRUE(silent.IsReady());
        // The watchdog's timer runs without the socket too: its pings go nowhere.
        ASSERT_TRUE(WaitForEvents([&] { return silent.Pings() >= 3; }));
        strStatus = "CONNECTED";
        silent.CheckStatus();
        silent.Stopping();
    }

    setenv("NOTIFY_SOCKET", m_socket.Path().toLocal8Bit().constData(), 1);
    unsetenv("WATCHDOG_USEC");
    strStatus = "CONTROL";
    CSystemdNotifier control([&strStatus] { return strStatus; });
    control.Start(nullptr, true);
    ASSERT_TRUE(WaitDatagram("READY=1\nSTATUS=CONTROL"));
    EXPECT_EQ(m_vecSeen, (std::vector<std::string>{"READY=1\nSTATUS=CONTROL"}));
}

// systemd writes WATCHDOG_USEC as a 64-bit count; half of it in
// milliseconds does not fit an int beyond 49 days, and the timer's interval
// must never wrap to a tiny or negative one.
TEST_F(SystemdNotify, AWatchdogBeyondAnIntIsPingedAtTheLongestIntervalAndNonsenseIsRefused)
{
    setenv("NOTIFY_SOCKET", m_socket.Path().toLocal8Bit().constData(), 1);
    // Half of this is 2^32 + 1 ms: cut to 32 bits, a ping every millisecond.
    setenv("WATCHDOG_USEC", "8589934594000", 1);
    {
        CSystemdNotifier notifier([] { return std::string("S"); });
        notifier.Start(nullptr, true);
        EXPECT_EQ(notifier.PingIntervalMs(), CSystemdNotifier::MaxPingMs);
        // One ping at the start, as with any watchdog.
        EXPECT_TRUE(WaitDatagram("WATCHDOG=1"));
    }
    EXPECT_EQ(CSystemdNotifier::PingIntervalFor(18446744073709551614ULL), CSystemdNotifier::MaxPingMs);
    EXPECT_EQ(CSystemdNotifier::PingIntervalFor(1), 1);
    EXPECT_EQ(CSystemdNotifier::PingIntervalFor(30'000'000), 15'000);

    for (const char* pszValue : {"18446744073709551616", "-5", "soon", "0"}) {
        setenv("WATCHDOG_USEC", pszValue, 1);
        CSystemdNotifier notifier([] { return std::string("S"); });
        notifier.Start(nullptr, true);
        EXPECT_EQ(notifier.PingIntervalMs(), 0) << pszValue;
        EXPECT_EQ(notifier.Pings(), 0u) << pszValue;
    }
}

} // namespace
