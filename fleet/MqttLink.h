// The link to the venue's MQTT broker: one libmosquitto client that only a
// thread of its own drives, so that name lookups, connects, reconnects with
// back-off and a broker that never answers stay away from the thread that
// paints. Other threads only hand messages over. Plain C++.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
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

class CMqttLink {
public:
    // Called on the link's thread.
    using MessageHandler = std::function<void(MqttIncoming message)>;
    using ConnectHandler = std::function<void()>;

    explicit CMqttLink(MqttLinkConfig config);
    // Stops without a goodbye wait.
    ~CMqttLink();
    CMqttLink(const CMqttLink&) = delete;
    CMqttLink& operator=(const CMqttLink&) = delete;

    // Before Start. The announcements go out first on every connection, in
    // order (availability, discovery); the connect handler is told after them.
    void SetAnnouncements(std::vector<MqttMessage> vecMessages);
    void SetMessageHandler(MessageHandler handler);
    void SetConnectHandler(ConnectHandler handler);

    // Starts the link's thread; false (with the reason) only when the
    // client cannot be made.
    bool Start(std::string& strError);
    // Any thread, never waits for the network. Events go out in order; while
    // the broker is away they wait, at most nQueueLimit of them.
    void PostEvent(MqttMessage message);
    // Of these only the newest per topic waits while the broker is away.
    void PostLatest(MqttMessage message);
    // Publishes the goodbye (the will's message) if connected, disconnects,
    // and waits at most farewellWait (and a second) for that; no handler is
    // called after. A name lookup or connect that does not end by then
    // cannot be cut short: the thread is left to finish on its own, said on
    // stderr and counted by ThreadsLeftRunning.
    void Stop(std::chrono::milliseconds farewellWait);
    // Link threads left running by Stop that have not yet ended. While any
    // has not, the process must end without its exit handlers (_exit):
    // they would run under a thread inside libmosquitto or the resolver.
    static int ThreadsLeftRunning();

    MqttPhase Phase() const;
    uint64_t EventsDropped() const;
    // Connections the broker accepted; those after the first are reconnects.
    uint64_t Connections() const;
    // Messages dropped unread for their length.
    uint64_t IncomingTooLong() const;
    // Messages handed to the client that the broker has not acknowledged,
    // over every connection: the client sends those again after a reconnect.
    size_t InFlight() const;
    // Acknowledgements for a message the link did not count as in flight: 0
    // while the count above is true.
    uint64_t UnexpectedAcks() const;

    struct Shared;

private:
    std::shared_ptr<Shared> m_pShared;
    std::thread m_thread;
};
