// A module missing where Quado runs: the main frame tells it in a box and
// goes on, and opens the Records window once the module is there; a running
// Quado asked for MQTT without its module says so and runs on, its systemd
// watchdog pinged as before; with the module it reaches the broker.
#include "tests/adapter/AdapterTestSupport.h"

#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "app/CommandIds.h"
#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/MessageBoxCapture.h"
#include "tests/support/NeedTool.h"

using namespace adaptertest;
using testsupport::WaitForEvents;

namespace {

class RecordsWindowModule : public AdapterFrameTest {
protected:
    void TearDown() override
    {
        AdapterFrameTest::TearDown();
        unsetenv("QUADO_MODULE_DIR");
    }
};

TEST_F(RecordsWindowModule, MissingItIsToldOnceAskedAndTheFrameRunsOnThenItOpensOnceThere)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    setenv("QUADO_MODULE_DIR", empty.path().toLocal8Bit().constData(), 1);
    MakeFrame();
    CMessageBoxCapture boxes;

    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::RecordsWindow));
    ASSERT_EQ(boxes.m_vecBoxes.size(), 1u);
    EXPECT_EQ(boxes.m_vecBoxes[0].strText, "The Records window is not available: quado-records-window.so was not found in " +
                                               empty.path());
    EXPECT_EQ(boxes.m_vecBoxes[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(m_pFrame->RecordsWindowIfMade(), nullptr);
    // The frame goes on: its other commands still work.
    const bool bMuted = m_pFrame->IsMuted();
    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::Mute));
    EXPECT_NE(m_pFrame->IsMuted(), bMuted);

    // Asked again once the module is there, the window comes (the failed
    // attempt left nothing half made).
    setenv("QUADO_MODULE_DIR", QUADO_BUILD_MODULES, 1);
    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::RecordsWindow));
    EXPECT_EQ(boxes.m_vecBoxes.size(), 1u);
    ASSERT_NE(m_pFrame->RecordsWindowIfMade(), nullptr);
    QWidget* pWindow = m_pFrame->RecordsWindowIfMade()->Widget();
    EXPECT_TRUE(WaitForEvents([&] { return pWindow->isVisible(); }));
    EXPECT_EQ(pWindow->windowTitle(), "Quado Records");
    // Its own Hide goes through the frame, like the menu item.
    QMetaObject::invokeMethod(pWindow, "reject");
    EXPECT_TRUE(WaitForEvents([&] { return !pWindow->isVisible(); }));
    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::RecordsWindow));
    EXPECT_TRUE(WaitForEvents([&] { return pWindow->isVisible(); }));
}

class BrokerLinkModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_empty.isValid());
        QUADO_NEED_TOOL(!m_socket.IsOpen(), "a unix datagram socket in a temporary folder");
    }

    bool WaitDatagrams(const std::function<bool()>& done)
    {
        return WaitForEvents([&] {
            for (std::string& str : m_socket.Take())
                m_vecSeen.push_back(std::move(str));
            return done();
        });
    }
    size_t Seen(const std::string& strWanted) const
    {
        return static_cast<size_t>(std::count(m_vecSeen.begin(), m_vecSeen.end(), strWanted));
    }

    QTemporaryDir m_empty;
    fleettest::CNotifySocket m_socket;
    std::vector<std::string> m_vecSeen;
};

TEST_F(BrokerLinkModule, QuadoWithoutItSaysSoAndRunsOnWithItsWatchdog)
{
    fleettest::CDemo demo;
    // No broker is needed: the link is never made.
    ASSERT_TRUE(demo.Start({"--kiosk", "--mqtt", "mqtt://127.0.0.1:1"},
                           {"QUADO_MODULE_DIR=" + m_empty.path(), "NOTIFY_SOCKET=" + m_socket.Path(),
                            "WATCHDOG_USEC=400000"}));
    EXPECT_TRUE(demo.WaitForStderr("Quado: MQTT is off: quado-mqtt.so was not found in " + m_empty.path()))
        << demo.Stderr().toStdString();
    ASSERT_TRUE(WaitDatagrams([&] {
        return std::any_of(m_vecSeen.begin(), m_vecSeen.end(),
                           [](const std::string& s) { return s.rfind("READY=1\nSTATUS=", 0) == 0; }) &&
               Seen("WATCHDOG=1") >= 3;
    }));
    EXPECT_EQ(demo.Terminate(), 0) << demo.Stderr().toStdString();
    EXPECT_TRUE(WaitDatagrams([&] { return Seen("STOPPING=1") == 1; }));
}

TEST_F(BrokerLinkModule, QuadoWithItReachesTheBroker)
{
    const QString strMosquitto = fleettest::MosquittoProgram();
    QUADO_NEED_TOOL(strMosquitto.isEmpty(), "mosquitto");
    fleettest::CBroker broker;
    ASSERT_TRUE(broker.Start());
    fleettest::CSubscriber subscriber(broker.Port(), "quado/modules1/availability");
    ASSERT_TRUE(subscriber.WaitConnected());
    fleettest::CDemo demo;
    ASSERT_TRUE(demo.Start({"--mqtt", broker.Url(), "--mqtt-id", "modules1"}));
    EXPECT_TRUE(subscriber.WaitFor("quado/modules1/availability",
                                   [](const std::string& str) { return str == "online"; }))
        << demo.Stderr().toStdString();
    EXPECT_EQ(demo.Terminate(), 0);
    EXPECT_FALSE(demo.Stderr().contains(QStringLiteral("MQTT is off"))) << demo.Stderr().toStdString();
}

} // namespace
