// What the link's owner and its thread share: the client, the queues the
// owner fills, the flags and handlers, and the thread's own state. Only
// fleet/MqttLink*.cpp see it.
#pragma once

#include <mosquitto.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

#include "fleet/MqttLink.h"

// Every message is sent at least once; the broker acknowledges each.
inline constexpr int MqttQos = 1;

struct CMqttLink::Shared {
    explicit Shared(MqttLinkConfig configIn)
        : config(std::move(configIn))
        , nWakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
    }
    ~Shared()
    {
        if (pMosq)
            mosquitto_destroy(pMosq);
        if (nWakeFd >= 0)
            close(nWakeFd);
    }

    const MqttLinkConfig config;
    std::vector<MqttMessage> vecAnnouncements;
    mosquitto* pMosq = nullptr;
    const int nWakeFd;

    std::mutex mutex;
    std::condition_variable cv;
    std::deque<MqttMessage> queEvents;
    std::vector<MqttMessage> vecLatest;
    bool bStopping = false;
    bool bFinished = false;
    // Stop gave up waiting for the thread; it counts itself out as it ends.
    bool bLeftRunning = false;
    std::chrono::steady_clock::time_point tFarewellDeadline;

    // Held while a handler runs, so that Stop never returns under one.
    std::mutex handlerMutex;
    MessageHandler onMessage;
    ConnectHandler onConnect;

    std::atomic<MqttPhase> nPhase{MqttPhase::Stopped};
    std::atomic<uint64_t> nDropped{0};
    std::atomic<uint64_t> nConnections{0};
    std::atomic<uint64_t> nIncomingTooLong{0};
    std::atomic<size_t> nInFlight{0};
    std::atomic<uint64_t> nUnexpectedAcks{0};

    // The link's thread only.
    bool bSessionUp = false;
    // Kept across reconnects: libmosquitto keeps these messages and sends
    // them again once the broker is back; only an acknowledgement ends one.
    std::set<int> setInFlight;
    std::string strLastReport;
    // The TLS library's last complaint, which tells a port that speaks no
    // TLS from a certificate that is not trusted.
    std::string strLastTlsError;
};

// The link's thread: connects, serves, reconnects with back-off until told
// to stop.
void RunMqttLink(const std::shared_ptr<CMqttLink::Shared>& pShared);
// Wakes the thread from its wait on the network.
void WakeMqttLink(CMqttLink::Shared& s);
// The client's callbacks; they run on the link's thread.
void OnMqttConnect(mosquitto* pMosq, void* pUser, int rc);
void OnMqttDisconnect(mosquitto* pMosq, void* pUser, int rc);
void OnMqttPublish(mosquitto* pMosq, void* pUser, int nMid);
void OnMqttMessage(mosquitto* pMosq, void* pUser, const mosquitto_message* pMessage);
void OnMqttLog(mosquitto* pMosq, void* pUser, int nLevel, const char* pszText);
