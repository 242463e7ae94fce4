// The link to the venue's MQTT broker: one libmosquitto client that only a
// thread of its own drives, so that name lookups, connects, reconnects with
// back-off and a broker that never answers stay away from the thread that
// paints. Other threads only hand messages over. The broker-link module
// (quado-mqtt.so) holds it; the rest of Quado sees IBrokerLink. Plain C++.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fleet/IBrokerLink.h"

class CMqttLink : public IBrokerLink {
public:
    explicit CMqttLink(MqttLinkConfig config);
    // Stops without a goodbye wait.
    ~CMqttLink() override;
    CMqttLink(const CMqttLink&) = delete;
    CMqttLink& operator=(const CMqttLink&) = delete;

    void SetAnnouncements(std::vector<MqttMessage> vecMessages) override;
    void SetMessageHandler(MessageHandler handler) override;
    void SetConnectHandler(ConnectHandler handler) override;
    bool Start(std::string& strError) override;
    void PostEvent(MqttMessage message) override;
    void PostLatest(MqttMessage message) override;
    void Stop(std::chrono::milliseconds farewellWait) override;
    // What BrokerThreadsLeftRunning tells once the module is loaded.
    static int ThreadsLeftRunning();

    MqttPhase Phase() const override;
    uint64_t EventsDropped() const override;
    uint64_t Connections() const override;
    uint64_t IncomingTooLong() const override;
    size_t InFlight() const override;
    uint64_t UnexpectedAcks() const override;

    struct Shared;

private:
    std::shared_ptr<Shared> m_pShared;
    std::thread m_thread;
};
