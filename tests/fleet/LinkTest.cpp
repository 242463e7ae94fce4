// The broker link on the UI thread's side: a broker that never answers, or a
// name that never resolves, leaves the board painting frame after frame; and
// events wait while the broker is away, in order, the oldest dropped first.
#include <gtest/gtest.h>

#include <QEvent>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include "fleet/MqttLink.h"
#include "fleet/VenueReporter.h"
#include "tests/adapter/AdapterTestSupport.h"
#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/NeedTool.h"

namespace {

using testsupport::WaitForEvents;

// Counts the paints of one widget.
class CPaintCounter : public QObject {
public:
    explicit CPaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int m_nPaints = 0;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint)
            ++m_nPaints;
        return QObject::eventFilter(pWatched, pEvent);
    }
};

// Holds the link's thread before its connect until opened: a name lookup
// that takes as long as the test likes.
struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    bool bOpen = false;
    bool bReached = false;

    void Pass()
    {
        std::unique_lock lock(mutex);
        bReached = true;
        cv.wait(lock, [this] { return bOpen; });
    }
    void Open()
    {
        std::lock_guard lock(mutex);
        bOpen = true;
        cv.notify_all();
    }
    bool Reached()
    {
        std::lock_guard lock(mutex);
        return bReached;
    }
};

class VenueStall : public adaptertest::AdapterFrameTest {
protected:
    // Lights a colour and waits for the frame that shows it.
    bool PaintFrames(CSimulatedAdapter& adapter, const CPaintCounter& counter, int nFrames)
    {
        for (int i = 0; i < nFrames; ++i) {
            const int nBefore = counter.m_nPaints;
            if (!FeedRead(adapter, i % 2 ? "Off\n" : "G\n") ||
                !WaitForEvents([&] { return counter.m_nPaints > nBefore; }))
                return false;
        }
        return true;
    }
};

TEST_F(VenueStall, FramesKeepComingWhileANameNeverResolvesOrABrokerNeverAnswers)
{
    // The kernel completes connections from the backlog: accepted, never answered.
    const int nListener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof address;
    ASSERT_EQ(bind(nListener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(nListener, 16), 0);
    ASSERT_EQ(getsockname(nListener, reinterpret_cast<sockaddr*>(&address), &nLength), 0);

    const std::shared_ptr<CSimulatedAdapter> pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    m_pFrame->show();
    CPaintCounter counter(m_pFrame->View());
    ClickConnect();
    ASSERT_TRUE(dlg.IsConnected());
    ASSERT_TRUE(FeedRead(*pAdapter, "New\n"));

    VenueOptions options;
    options.bMqtt = true;
    options.mqtt = MqttEndpoint{false, "127.0.0.1", ntohs(address.sin_port), ""};
    options.strMqttId = "stall";
    CVenueReporter reporter(options, "test", dlg.GameEvents(), [] { return VenueSnapshot{}; }, {});
    // Shared with the link's thread, which a failed check may leave waiting.
    const auto pGate = std::make_shared<Gate>();
    reporter.LinkConfig().fnBeforeConnect = [pGate] { pGate->Pass(); };
    std::string strError;
    ASSERT_TRUE(reporter.Start(strError)) << strError;

    ASSERT_TRUE(WaitForEvents([&] { return pGate->Reached(); }));
    EXPECT_TRUE(PaintFrames(*pAdapter, counter, 30));
    EXPECT_EQ(reporter.Link()->Phase(), MqttPhase::Connecting);

    pGate->Open();
    ASSERT_TRUE(WaitForEvents([&] { return reporter.Link()->Phase() == MqttPhase::AwaitingAnswer; }));
    EXPECT_TRUE(PaintFrames(*pAdapter, counter, 30));
    EXPECT_EQ(reporter.Link()->Connections(), 0u);
    reporter.Stop();
    close(nListener);
}

TEST(MqttLinkQueue, EventsWaitWhileTheBrokerIsAwayInOrderTheOldestDroppedFirst)
{
    using namespace fleettest;
    QUADO_NEED_TOOL(MosquittoProgram().isEmpty(), "mosquitto (Debian package mosquitto)");
    CBroker broker;
    ASSERT_TRUE(broker.Start());
    const int nPort = broker.Port();
    broker.Stop();

    MqttLinkConfig config;
    config.strHost = "127.0.0.1";
    config.nPort = nPort;
    config.strClientId = "queue-test";
    config.will = {"q/availability", "offline", true};
    config.strCommandFilter = "q/set/+";
    config.nQueueLimit = 5;
    config.firstRetry = std::chrono::milliseconds(10);
    config.longestRetry = std::chrono::milliseconds(50);
    const auto pGate = std::make_shared<Gate>();
    config.fnBeforeConnect = [pGate] { pGate->Pass(); };
    CMqttLink link(config);
    std::string strError;
    ASSERT_TRUE(link.Start(strError)) << strError;
    for (int i = 0; i < 8; ++i)
        link.PostEvent({"q/event", std::to_string(i), false});
    link.PostLatest({"q/state", "old", true});
    link.PostLatest({"q/state", "new", true});
    EXPECT_EQ(link.EventsDropped(), 3u);

    ASSERT_TRUE(broker.Start());
    CSubscriber subscriber(nPort, "q/#");
    ASSERT_TRUE(subscriber.WaitConnected());
    pGate->Open();
    ASSERT_TRUE(subscriber.WaitFor("q/state"));
    ASSERT_TRUE(subscriber.WaitFor("q/event", [](const std::string& s) { return s == "7"; }));
    std::vector<std::string> vecEvents;
    std::vector<std::string> vecStates;
    for (const Received& message : subscriber.Messages()) {
        if (message.strTopic == "q/event")
            vecEvents.push_back(message.strPayload);
        if (message.strTopic == "q/state")
            vecStates.push_back(message.strPayload);
    }
    EXPECT_EQ(vecEvents, (std::vector<std::string>{"3", "4", "5", "6", "7"}));
    EXPECT_EQ(vecStates, (std::vector<std::string>{"new"}));
    link.Stop(std::chrono::milliseconds(testsupport::HangGuardMs));
    EXPECT_TRUE(subscriber.WaitFor("q/availability", [](const std::string& s) { return s == "offline"; }));
}

TEST(VenueAudio, ADeviceLostAndBackIsToldAsEvents)
{
    using namespace fleettest;
    QUADO_NEED_TOOL(MosquittoProgram().isEmpty(), "mosquitto (Debian package mosquitto)");
    CBroker broker;
    ASSERT_TRUE(broker.Start());
    CSubscriber subscriber(broker.Port(), "quado/audio/#");
    ASSERT_TRUE(subscriber.WaitConnected());
    CGameEvents events;
    VenueSnapshot snapshot;
    VenueOptions options;
    options.bMqtt = true;
    options.mqtt = MqttEndpoint{false, "127.0.0.1", broker.Port(), ""};
    options.strMqttId = "audio";
    CVenueReporter reporter(options, "test", events, [&snapshot] { return snapshot; }, {});
    std::string strError;
    ASSERT_TRUE(reporter.Start(strError)) << strError;
    ASSERT_TRUE(subscriber.WaitFor("quado/audio/state"));
    snapshot.nAudioLosses = 1;
    ASSERT_TRUE(subscriber.WaitFor("quado/audio/event", IsEvent("audio_device_lost")));
    snapshot.nAudioReturns = 1;
    ASSERT_TRUE(subscriber.WaitFor("quado/audio/event", IsEvent("audio_device_back")));
    EXPECT_TRUE(subscriber.WaitFor("quado/audio/state",
                                   [](const std::string& s) { return Json(s).value("audio_device_losses") == 1; }));
}

} // namespace
