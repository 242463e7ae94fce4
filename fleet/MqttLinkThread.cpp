// The link's thread: everything that touches the network.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fleet/MqttLinkShared.h"

namespace {

using Shared = CMqttLink::Shared;
using Clock = std::chrono::steady_clock;

constexpr int PollMs = 1000;

std::string Broker(const MqttLinkConfig& config)
{
    return config.strHost + ":" + std::to_string(config.nPort);
}

// One line for each change of what is wrong (or right), never one per
// attempt: a broker away for a night leaves two lines.
void Report(Shared& s, const std::string& strLine)
{
    if (strLine == s.strLastReport)
        return;
    s.strLastReport = strLine;
    std::fprintf(stderr, "Quado: MQTT: %s\n", strLine.c_str());
}

std::string Reason(int rc, int nErrno)
{
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        return std::strerror(nErrno);
    case MOSQ_ERR_EAI:
        return "host name not found";
    case MOSQ_ERR_TLS:
        return "TLS failed (is the broker's certificate trusted and for this host name?)";
    case MOSQ_ERR_KEEPALIVE:
        return "the broker stopped answering";
    default:
        return mosquitto_strerror(rc);
    }
}

bool Stopping(Shared& s)
{
    std::lock_guard lock(s.mutex);
    return s.bStopping;
}

// Waits the pause before the next attempt; true when the link stops instead.
bool WaitOrStop(Shared& s, std::chrono::milliseconds pause)
{
    std::unique_lock lock(s.mutex);
    return s.cv.wait_for(lock, pause, [&] { return s.bStopping; });
}

int Publish(Shared& s, mosquitto* pMosq, const MqttMessage& message)
{
    int nMid = 0;
    const int rc = mosquitto_publish(pMosq, &nMid, message.strTopic.c_str(), static_cast<int>(message.strPayload.size()),
                                     message.strPayload.data(), MqttQos, message.bRetain);
    if (rc == MOSQ_ERR_SUCCESS)
        s.setInFlight.insert(nMid);
    return rc;
}

// Hands waiting messages to the client while the connection takes them: not
// beyond the in-flight limit, and not while earlier ones are still unwritten.
void Flush(Shared& s, mosquitto* pMosq)
{
    while (s.bSessionUp && s.setInFlight.size() < s.config.nInFlightLimit && !mosquitto_want_write(pMosq)) {
        MqttMessage message;
        bool bEvent = false;
        {
            std::lock_guard lock(s.mutex);
            if (!s.queEvents.empty()) {
                message = std::move(s.queEvents.front());
                s.queEvents.pop_front();
                bEvent = true;
            } else if (!s.vecLatest.empty()) {
                message = std::move(s.vecLatest.front());
                s.vecLatest.erase(s.vecLatest.begin());
            } else {
                return;
            }
        }
        if (Publish(s, pMosq, message) == MOSQ_ERR_SUCCESS)
            continue;
        // The connection went under it: the message waits for the next one.
        std::lock_guard lock(s.mutex);
        if (bEvent)
            s.queEvents.push_front(std::move(message));
        else if (std::none_of(s.vecLatest.begin(), s.vecLatest.end(),
                              [&](const MqttMessage& m) { return m.strTopic == message.strTopic; }))
            s.vecLatest.insert(s.vecLatest.begin(), std::move(message));
        return;
    }
}

// Drives one connection until it ends (false, rc says why) or the link
// stops (true).
bool Serve(Shared& s, mosquitto* pMosq, int& rc)
{
    for (;;) {
        Flush(s, pMosq);
        const int nSocket = mosquitto_socket(pMosq);
        if (nSocket < 0) {
            rc = MOSQ_ERR_NO_CONN;
            return false;
        }
        pollfd fds[2] = {{s.nWakeFd, POLLIN, 0},
                         {nSocket, static_cast<short>(POLLIN | (mosquitto_want_write(pMosq) ? POLLOUT : 0)), 0}};
        if (poll(fds, 2, PollMs) < 0 && errno != EINTR) {
            rc = MOSQ_ERR_ERRNO;
            return false;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t nCount = 0;
            if (read(s.nWakeFd, &nCount, sizeof nCount) < 0) {
                // Another wake already took it.
            }
        }
        if (Stopping(s))
            return true;
        rc = MOSQ_ERR_SUCCESS;
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR))
            rc = mosquitto_loop_read(pMosq, 1);
        if (rc == MOSQ_ERR_SUCCESS && (fds[1].revents & POLLOUT))
            rc = mosquitto_loop_write(pMosq, 1);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_loop_misc(pMosq);
        if (rc != MOSQ_ERR_SUCCESS)
            return false;
    }
}

// The goodbye: what still waits, "offline" retained, and a clean disconnect
// (after which the broker keeps the will to itself), written out until the
// deadline.
bool HasWaiting(Shared& s)
{
    std::lock_guard lock(s.mutex);
    return !s.queEvents.empty() || !s.vecLatest.empty();
}

void Farewell(Shared& s, mosquitto* pMosq)
{
    if (mosquitto_socket(pMosq) < 0)
        return;
    Clock::time_point tDeadline;
    {
        std::lock_guard lock(s.mutex);
        tDeadline = s.tFarewellDeadline;
    }
    // What was posted last (the game's end, the state that says it is over)
    // goes before the goodbye, not lost behind it: Flush hands over only
    // what the connection takes now, so the connection is served until the
    // queues are empty or the time is up.
    while (s.bSessionUp && HasWaiting(s) && Clock::now() < tDeadline) {
        Flush(s, pMosq);
        if (!HasWaiting(s))
            break;
        pollfd fd{mosquitto_socket(pMosq), static_cast<short>(POLLIN | (mosquitto_want_write(pMosq) ? POLLOUT : 0)), 0};
        if (fd.fd < 0 || (poll(&fd, 1, 50) < 0 && errno != EINTR))
            break;
        int rc = MOSQ_ERR_SUCCESS;
        if (fd.revents & POLLOUT)
            rc = mosquitto_loop_write(pMosq, 1);
        if (rc == MOSQ_ERR_SUCCESS && (fd.revents & (POLLIN | POLLHUP | POLLERR)))
            rc = mosquitto_loop_read(pMosq, 1);
        if (rc != MOSQ_ERR_SUCCESS)
            break;
    }
    if (s.bSessionUp) {
        Flush(s, pMosq);
        MqttMessage goodbye = s.config.will;
        goodbye.bRetain = true;
        Publish(s, pMosq, goodbye);
    }
    mosquitto_disconnect(pMosq);
    while (mosquitto_socket(pMosq) >= 0 && Clock::now() < tDeadline) {
        pollfd fd{mosquitto_socket(pMosq), static_cast<short>(POLLIN | POLLOUT), 0};
        if (poll(&fd, 1, 50) < 0 && errno != EINTR)
            break;
        int rc = MOSQ_ERR_SUCCESS;
        if (fd.revents & POLLOUT)
            rc = mosquitto_loop_write(pMosq, 1);
        if (rc == MOSQ_ERR_SUCCESS && (fd.revents & (POLLIN | POLLHUP | POLLERR)))
            rc = mosquitto_loop_read(pMosq, 1);
        if (rc != MOSQ_ERR_SUCCESS)
            break;
    }
}

} // namespace

void OnMqttConnect(mosquitto* pMosq, void* pUser, int rc)
{
    Shared& s = *static_cast<Shared*>(pUser);
    if (rc != 0) {
        Report(s, "the broker at " + Broker(s.config) + " refused the connection: " + mosquitto_connack_string(rc));
        return;
    }
    s.bSessionUp = true;
    // What the last connection left unacknowledged is the client's to send again.
    s.setInFlight.clear();
    mosquitto_subscribe(pMosq, nullptr, s.config.strCommandFilter.c_str(), MqttQos);
    for (const MqttMessage& message : s.vecAnnouncements)
        Publish(s, pMosq, message);
    ++s.nConnections;
    s.nPhase = MqttPhase::Up;
    Report(s, "connected to " + Broker(s.config) + " as " + s.config.strClientId);
    std::lock_guard lock(s.handlerMutex);
    if (s.onConnect)
        s.onConnect();
}

void OnMqttDisconnect(mosquitto*, void* pUser, int)
{
    static_cast<Shared*>(pUser)->bSessionUp = false;
}

void OnMqttPublish(mosquitto*, void* pUser, int nMid)
{
    static_cast<Shared*>(pUser)->setInFlight.erase(nMid);
}

void OnMqttMessage(mosquitto*, void* pUser, const mosquitto_message* pMessage)
{
    Shared& s = *static_cast<Shared*>(pUser);
    const std::string strTopic = pMessage->topic ? pMessage->topic : "";
    const std::string strPayload(static_cast<const char*>(pMessage->payload),
                                 pMessage->payload ? static_cast<size_t>(pMessage->payloadlen) : 0);
    std::lock_guard lock(s.handlerMutex);
    if (s.onMessage)
        s.onMessage(strTopic, strPayload, pMessage->retain);
}

void RunMqttLink(const std::shared_ptr<CMqttLink::Shared>& pShared)
{
    Shared& s = *pShared;
    mosquitto* pMosq = s.pMosq;
    std::chrono::milliseconds retry = s.config.firstRetry;
    while (!Stopping(s)) {
        s.nPhase = MqttPhase::Connecting;
        if (s.config.fnBeforeConnect)
            s.config.fnBeforeConnect();
        if (Stopping(s))
            break;
        // Name lookup and connect block, here and nowhere else.
        int rc = mosquitto_connect(pMosq, s.config.strHost.c_str(), s.config.nPort, s.config.nKeepAliveSeconds);
        const int nErrno = errno;
        if (rc == MOSQ_ERR_SUCCESS) {
            s.nPhase = MqttPhase::AwaitingAnswer;
            const uint64_t nBefore = s.nConnections;
            if (Serve(s, pMosq, rc)) {
                Farewell(s, pMosq);
                break;
            }
            const int nServeErrno = errno;
            s.bSessionUp = false;
            if (mosquitto_socket(pMosq) >= 0)
                mosquitto_disconnect(pMosq);
            if (s.nConnections != nBefore) {
                // It worked until now: the next attempt comes soon.
                retry = s.config.firstRetry;
                Report(s, "lost the broker at " + Broker(s.config) + " (" + Reason(rc, nServeErrno) + "), reconnecting");
            } else if (rc != MOSQ_ERR_CONN_REFUSED) {
                Report(s, "no answer from the broker at " + Broker(s.config) + " (" + Reason(rc, nServeErrno) +
                              "), trying again");
            }
        } else {
            Report(s, "cannot connect to " + Broker(s.config) + " (" + Reason(rc, nErrno) + "), trying again");
        }
        s.nPhase = MqttPhase::Waiting;
        if (WaitOrStop(s, retry))
            break;
        retry = std::min(retry * 2, s.config.longestRetry);
    }
    s.nPhase = MqttPhase::Stopped;
    {
        std::lock_guard lock(s.mutex);
        s.bFinished = true;
    }
    s.cv.notify_all();
}

void WakeMqttLink(CMqttLink::Shared& s)
{
    const uint64_t nOne = 1;
    if (write(s.nWakeFd, &nOne, sizeof nOne) < 0) {
        // Full only when the thread is already due to wake.
    }
}
