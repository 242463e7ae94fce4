// Commands that cannot hurt, and a link whose figures stay true: a burst of
// commands collapses to the last of each and passes only as fast as the
// tokens come (a clock of the test's own: no wall-clock bound), a payload of
// a megabyte is dropped unread, and messages the broker never acknowledged
// are counted until a later broker does, over the reconnect.
#include <gtest/gtest.h>

#include <signal.h>

#include <condition_variable>
#include <map>
#include <mutex>

#include "fleet/CommandInbox.h"
#include "fleet/MqttLink.h"
#include "fleet/VenueReporter.h"
#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/EventWait.h"
#include "tests/support/HangGuard.h"
#include "tests/support/NeedTool.h"
#include "tests/support/WaitFor.h"

using namespace std::chrono_literals;
using namespace fleettest;
using testsupport::WaitForEvents;

namespace {

CommandMessage Command(const char* pszName, const char* pszPayload)
{
    return CommandMessage{.strName = pszName, .strPayload = pszPayload, .bRetained = false, .nTooLongBytes = 0};
}

std::vector<std::string> Drain(CCommandInbox& inbox)
{
    std::vector<std::string> vecTaken;
    while (std::optional<CommandMessage> message = inbox.Take())
        vecTaken.push_back(message->strName + " " + message->strPayload);
    return vecTaken;
}

TEST(CommandInbox, ABurstCollapsesToTheLastOfEachCommandInTheOrderTheyLastCame)
{
    CCommandInbox inbox;
    EXPECT_TRUE(inbox.Put(Command("mute", "ON"))) << "the first wakes the reader";
    EXPECT_FALSE(inbox.Put(Command("fit", "OFF"))) << "the reader is already told";
    inbox.Put(Command("mute", "OFF"));
    // A disconnect then a connect must stay in that order: the connect is last.
    inbox.Put(Command("connect", "A"));
    inbox.Put(Command("disconnect", ""));
    inbox.Put(Command("connect", "B"));
    // Names that are no command share one place, whatever their number.
    for (int i = 0; i < 1000; ++i)
        inbox.Put(Command(("nonsense" + std::to_string(i)).c_str(), "x"));
    EXPECT_EQ(inbox.Waiting(), 5u);
    EXPECT_EQ(inbox.Received(), 1006u);
    EXPECT_EQ(inbox.Replaced(), 1001u);
    EXPECT_EQ(Drain(inbox),
              (std::vector<std::string>{"fit OFF", "mute OFF", "disconnect ", "connect B", "nonsense999 x"}));
    EXPECT_TRUE(inbox.Put(Command("mute", "ON"))) << "empty again: the next one wakes the reader";
}

TEST(CommandTokens, TheBurstAtOnceThenOnePerPeriodAndNoHoardingBeyondTheBurst)
{
    using Clock = CTokenBucket::Clock;
    const Clock::time_point t0{};
    CTokenBucket bucket(3, 200ms);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(bucket.Take(t0)) << i;
    EXPECT_FALSE(bucket.Take(t0));
    EXPECT_EQ(bucket.UntilNext(t0), 200ms);
    EXPECT_FALSE(bucket.Take(t0 + 199ms));
    EXPECT_EQ(bucket.UntilNext(t0 + 199ms), 1ms);
    EXPECT_TRUE(bucket.Take(t0 + 200ms));
    EXPECT_FALSE(bucket.Take(t0 + 300ms));
    // Part of a period counts towards the next token.
    EXPECT_TRUE(bucket.Take(t0 + 400ms));
    // An hour of quiet earns the burst, not an hour's worth.
    const Clock::time_point tLater = t0 + 1h;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(bucket.Take(tLater)) << i;
    EXPECT_FALSE(bucket.Take(tLater));
}

// A reporter against Debian's mosquitto whose commands go to a list, with a
// clock that moves only when the test moves it.
class VenueCommandFlood : public ::testing::Test {
protected:
    void SetUp() override
    {
        QUADO_NEED_TOOL(MosquittoProgram().isEmpty(), "mosquitto (Debian package mosquitto)");
        ASSERT_TRUE(m_broker.Start());
        m_pSubscriber = std::make_unique<CSubscriber>(m_broker.Port(), "quado/flood/#");
        ASSERT_TRUE(m_pSubscriber->WaitConnected());
        VenueOptions options;
        options.bMqtt = true;
        options.mqtt = MqttEndpoint{false, "127.0.0.1", m_broker.Port(), ""};
        options.strMqttId = "flood";
        m_pReporter = std::make_unique<CVenueReporter>(
            options, "test", m_events, [] { return VenueSnapshot{}; },
            [this](const VenueCommand& command) { m_vecRun.push_back(Describe(command)); });
        m_pReporter->SetCommandClock([this] { return m_tNow; });
        std::string strError;
        ASSERT_TRUE(m_pReporter->Start(strError)) << strError;
        // Commands are heard once the state went out: the subscription is older.
        ASSERT_TRUE(m_pSubscriber->WaitFor("quado/flood/state"));
    }

    static std::string Describe(const VenueCommand& command)
    {
        switch (command.nKind) {
        case VenueCommand::Kind::Mute:
            return std::string("mute ") + (command.bOn ? "ON" : "OFF");
        case VenueCommand::Kind::FullScreen:
            return std::string("fullscreen ") + (command.bOn ? "ON" : "OFF");
        case VenueCommand::Kind::Fit:
            return std::string("fit ") + (command.bOn ? "ON" : "OFF");
        case VenueCommand::Kind::IdleRecords:
            return std::string("idle_records ") + (command.bOn ? "ON" : "OFF");
        case VenueCommand::Kind::Speak:
            return std::string("speak ") + (command.bOn ? "ON" : "OFF");
        case VenueCommand::Kind::Connect:
            return "connect " + command.strSerial;
        case VenueCommand::Kind::Disconnect:
            return "disconnect";
        case VenueCommand::Kind::Screenshot:
            return "screenshot";
        }
        return "?";
    }

    void Send(const std::string& strName, const std::string& strPayload)
    {
        m_pSubscriber->Publish("quado/flood/set/" + strName, strPayload);
    }

    // Commands taken from the inbox: run, or ignored with a line.
    size_t Handled() const { return m_vecRun.size() + m_pReporter->CommandsIgnored(); }

    CBroker m_broker;
    std::unique_ptr<CSubscriber> m_pSubscriber;
    CGameEvents m_events;
    std::chrono::steady_clock::time_point m_tNow{std::chrono::hours(1)};
    std::vector<std::string> m_vecRun;
    std::unique_ptr<CVenueReporter> m_pReporter;
};

TEST_F(VenueCommandFlood, AThousandCommandsCollapseToTheLastOfEachAndPassOnlyAsTheTokensCome)
{
    // The burst's tokens spent one by one, so none is left while the clock stands.
    for (int i = 0; i < CVenueReporter::CommandBurst; ++i) {
        Send("fit", "ON");
        ASSERT_TRUE(WaitForEvents([&] { return m_vecRun.size() == static_cast<size_t>(i + 1); })) << i;
    }

    // Five switches, connect and a name that is no command, in turn; what
    // came last of each is known.
    static const char* const Names[] = {"mute", "fullscreen", "fit", "idle_records", "connect", "bogus"};
    std::map<std::string, std::pair<int, std::string>> lastOf;
    constexpr int Flood = 1000;
    for (int i = 0; i < Flood; ++i) {
        const std::string strName = Names[i % 6] == std::string("bogus") ? "bogus" + std::to_string(i) : Names[i % 6];
        const std::string strPayload =
            strName == "connect" ? "S" + std::to_string(i) : ((i / 6) % 2 ? std::string("ON") : std::string("OFF"));
        Send(strName, strPayload);
        lastOf[strName.rfind("bogus", 0) == 0 ? "bogus" : strName] = {i, strName + " " + strPayload};
    }
    // Last of all, a mute that must run last.
    Send("mute", "ON");
    lastOf["mute"] = {Flood, "mute ON"};
    ASSERT_TRUE(WaitForEvents([&] {
        return m_pReporter->Inbox().Received() == static_cast<uint64_t>(CVenueReporter::CommandBurst + Flood + 1);
    }));
    // Every one of them has reached this process; the clock has not moved.
    EXPECT_EQ(Handled(), static_cast<size_t>(CVenueReporter::CommandBurst));
    EXPECT_EQ(m_pReporter->Inbox().Waiting(), 6u);

    // An hour later: the burst, not an hour's worth.
    m_tNow += std::chrono::hours(1);
    ASSERT_TRUE(WaitForEvents([&] { return Handled() == 2 * CVenueReporter::CommandBurst; }));
    EXPECT_EQ(m_pReporter->Inbox().Waiting(), 1u);
    // One period more: the last one.
    m_tNow += CVenueReporter::CommandPeriod;
    ASSERT_TRUE(WaitForEvents([&] { return m_pReporter->Inbox().Waiting() == 0; }));
    ASSERT_TRUE(WaitForEvents([&] { return Handled() == 2 * CVenueReporter::CommandBurst + 1; }));

    std::vector<std::pair<int, std::string>> vecLast;
    for (const auto& [strName, last] : lastOf) {
        if (strName != "bogus")
            vecLast.push_back(last);
    }
    std::sort(vecLast.begin(), vecLast.end());
    std::vector<std::string> vecExpected(CVenueReporter::CommandBurst, "fit ON");
    for (const auto& [nAt, strCommand] : vecLast)
        vecExpected.push_back(strCommand);
    EXPECT_EQ(m_vecRun, vecExpected);
    // A thousand-odd nonsense names made one line.
    EXPECT_EQ(m_pReporter->CommandsIgnored(), 1u);
}

TEST_F(VenueCommandFlood, AMegabytePayloadIsDroppedUnreadAndCommandsRunOn)
{
    m_tNow += std::chrono::hours(1);
    Send("mute", std::string(1 << 20, 'x'));
    ASSERT_TRUE(WaitForEvents([&] { return m_pReporter->CommandsIgnored() == 1; }));
    EXPECT_EQ(m_pReporter->Link()->IncomingTooLong(), 1u);
    EXPECT_TRUE(m_vecRun.empty());
    // Just at the limit is read.
    Send("connect", std::string(MaxCommandPayload, 'S'));
    ASSERT_TRUE(WaitForEvents([&] { return m_pReporter->CommandsIgnored() == 2; }));
    EXPECT_EQ(m_pReporter->Link()->IncomingTooLong(), 1u) << "a payload of the limit's length was dropped unread";
    Send("mute", "ON");
    ASSERT_TRUE(WaitForEvents([&] { return m_vecRun.size() == 1; }));
    EXPECT_EQ(m_vecRun.front(), "mute ON");
    EXPECT_EQ(m_pReporter->Link()->Phase(), MqttPhase::Up);
}

// Holds the link's thread before a connect while closed.
struct ConnectGate {
    std::mutex mutex;
    std::condition_variable cv;
    bool bClosed = false;

    void Pass()
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [this] { return !bClosed; });
    }
    void Set(bool bClose)
    {
        std::lock_guard lock(mutex);
        bClosed = bClose;
        cv.notify_all();
    }
};

// libmosquitto keeps what the broker never acknowledged and sends it again
// after a reconnect; a count cleared at the reconnect let the link put the
// in-flight limit's worth more on top, and met acknowledgements for
// messages it no longer knew.
TEST(MqttLinkInFlight, MessagesUnacknowledgedBeforeAReconnectStayCountedUntilAcknowledged)
{
    QUADO_NEED_TOOL(MosquittoProgram().isEmpty(), "mosquitto (Debian package mosquitto)");
    CBroker broker;
    ASSERT_TRUE(broker.Start());
    MqttLinkConfig config;
    config.strHost = "127.0.0.1";
    config.nPort = broker.Port();
    config.strClientId = "inflight-test";
    config.will = {"f/availability", "offline", true};
    config.strCommandFilter = "f/set/+";
    config.nInFlightLimit = 4;
    config.firstRetry = std::chrono::milliseconds(10);
    config.longestRetry = std::chrono::milliseconds(50);
    const auto pGate = std::make_shared<ConnectGate>();
    config.fnBeforeConnect = [pGate] { pGate->Pass(); };
    CMqttLink link(config);
    std::string strError;
    ASSERT_TRUE(link.Start(strError)) << strError;
    ASSERT_TRUE(testsupport::WaitFor([&] { return link.Phase() == MqttPhase::Up && link.InFlight() == 0; }));

    // A broker that stops reading: what is sent stays unacknowledged.
    ASSERT_EQ(kill(static_cast<pid_t>(broker.Pid()), SIGSTOP), 0);
    for (int i = 0; i < 10; ++i)
        link.PostEvent({"f/event", std::to_string(i), false});
    ASSERT_TRUE(testsupport::WaitFor([&] { return link.InFlight() == config.nInFlightLimit; }));

    // It dies; the next one on the same port gets everything, the four again first.
    pGate->Set(true);
    ASSERT_EQ(kill(static_cast<pid_t>(broker.Pid()), SIGKILL), 0);
    broker.Stop();
    ASSERT_TRUE(broker.Start());
    CSubscriber subscriber(broker.Port(), "f/#");
    ASSERT_TRUE(subscriber.WaitConnected());
    pGate->Set(false);
    ASSERT_TRUE(subscriber.WaitFor("f/event", [](const std::string& s) { return s == "9"; }));
    ASSERT_TRUE(testsupport::WaitFor([&] { return link.InFlight() == 0; }));
    EXPECT_EQ(link.UnexpectedAcks(), 0u) << "acknowledged messages the link had stopped counting";
    std::vector<std::string> vecEvents;
    for (const Received& message : subscriber.Messages()) {
        if (message.strTopic == "f/event")
            vecEvents.push_back(message.strPayload);
    }
    EXPECT_EQ(vecEvents, (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    link.Stop(std::chrono::milliseconds(testsupport::HangGuardMs));
}

} // namespace
