// The link to the venue's broker as the rest of Quado sees it. The link
// itself (libmosquitto and its TLS stack) lives in a module of its own,
// quado-mqtt.so, loaded the first time a start asks for MQTT. Plain C++.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct MqttMessage {
    std::string strTopic;
    std::string strPayload;
    bool bRetain = false;
};

// A message from the broker, as the link's thread hands it on.
struct MqttIncoming {
    std::string strTopic;
    // Empty when the payload was longer than the config allows.
    std::string strPayload;
    bool bRetained = false;
    // Set when the payload was longer than nIncomingLimit: it was never
    // copied, only its length is told.
    size_t nTooLongBytes = 0;
};

struct MqttLinkConfig {
    std::string strHost;
    int nPort = 1883;
    bool bTls = false;
    std::string strUser;
    std::string strPassword;
    std::string strClientId;
    // The broker publishes it when the link dies unannounced; Stop publishes
    // the same as its goodbye.
    MqttMessage will;
    // Subscribed on every connection: where the commands come.
    std::string strCommandFilter;
    // Longer payloads from there are dropped before anything copies them.
    size_t nIncomingLimit = 256;
    int nKeepAliveSeconds = 30;
    std::chrono::milliseconds firstRetry{1000};
    std::chrono::milliseconds longestRetry{60000};
    // Events kept while the broker is away; the oldest go first.
    size_t nQueueLimit = 256;
    // Messages the broker has not yet acknowledged: beyond these, new ones
    // wait in the queue, so a broker that stops reading cannot grow memory.
    size_t nInFlightLimit = 64;
    // Runs on the link's thread before each connect; tests stand a name
    // lookup that never ends in there.
    std::function<void()> fnBeforeConnect;
};

enum class MqttPhase : uint8_t {
    Stopped,
    Connecting,     // looking the name up, opening the connection
    AwaitingAnswer, // connected, the broker has not yet accepted
    Up,
    Waiting,        // the pause before the next attempt
};

class IBrokerLink {
public:
    // Called on the link's thread.
    using MessageHandler = std::function<void(MqttIncoming message)>;
    using ConnectHandler = std::function<void()>;

    // Stops without a goodbye wait.
    virtual ~IBrokerLink() = default;

    // Before Start. The announcements go out first on every connection, in
    // order (availability, discovery); the connect handler is told after them.
    virtual void SetAnnouncements(std::vector<MqttMessage> vecMessages) = 0;
    virtual void SetMessageHandler(MessageHandler handler) = 0;
    virtual void SetConnectHandler(ConnectHandler handler) = 0;

    // Starts the link's thread; false (with the reason) only when the
    // client cannot be made.
    virtual bool Start(std::string& strError) = 0;
    // Any thread, never waits for the network. Events go out in order; while
    // the broker is away they wait, at most nQueueLimit of them.
    virtual void PostEvent(MqttMessage message) = 0;
    // Of these only the newest per topic waits while the broker is away.
    virtual void PostLatest(MqttMessage message) = 0;
    // Publishes the goodbye (the will's message) if connected, disconnects,
    // and waits at most farewellWait (and a second) for that; no handler is
    // called after. A name lookup or connect that does not end by then
    // cannot be cut short: the thread is left to finish on its own, said on
    // stderr and counted by BrokerThreadsLeftRunning.
    virtual void Stop(std::chrono::milliseconds farewellWait) = 0;

    virtual MqttPhase Phase() const = 0;
    virtual uint64_t EventsDropped() const = 0;
    // Connections the broker accepted; those after the first are reconnects.
    virtual uint64_t Connections() const = 0;
    // Messages dropped unread for their length.
    virtual uint64_t IncomingTooLong() const = 0;
    // Messages handed to the client that the broker has not acknowledged,
    // over every connection: the client sends those again after a reconnect.
    virtual size_t InFlight() const = 0;
    // Acknowledgements for a message the link did not count as in flight: 0
    // while the count above is true.
    virtual uint64_t UnexpectedAcks() const = 0;
};

// The module's file and its one symbol, which gives this table. The number
// goes up whenever the interface changes.
struct BrokerLinkModule {
    IBrokerLink* (*fnMake)(MqttLinkConfig config);
    int (*fnThreadsLeftRunning)();
};
constexpr const char* BrokerLinkModuleFile = "quado-mqtt.so";
constexpr const char* BrokerLinkModuleSymbol = "QuadoBrokerLinkModule_1";
using BrokerLinkModuleEntry = const BrokerLinkModule* (*)();

// A new, unstarted link from the module (loaded on the first call); null with
// the reason in strError when the module is missing or broken.
std::unique_ptr<IBrokerLink> MakeBrokerLink(MqttLinkConfig config, std::string& strError);
// Link threads left running by Stop that have not yet ended. While any has
// not, the process must end without its exit handlers (_exit): they would run
// under a thread inside libmosquitto or the resolver. 0 while the module has
// not been loaded.
int BrokerThreadsLeftRunning();
