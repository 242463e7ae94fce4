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

// What OpenSSL says when the other end spoke something else than TLS: a
// plain MQTT listener answers a ClientHello with bytes that are no TLS
// record, or closes the connection on it.
bool SaysNoTls(const std::string& strTlsError)
{
    for (const char* pszSign : {"wrong version number", "unexpected eof", "packet length too long", "http request",
                                "record layer failure", "unknown protocol"}) {
        if (strTlsError.find(pszSign) != std::string::npos)
            return true;
    }
    return false;
}

// bHandshake: the connection never came up, so a TLS failure was the handshake's.
std::string Reason(Shared& s, int rc, int nErrno, bool bHandshake)
{
    const std::string strTlsError = std::move(s.strLastTlsError);
    s.strLastTlsError.clear();
    if (s.config.bTls && bHandshake && (rc == MOSQ_ERR_TLS || SaysNoTls(strTlsError))) {
        if (SaysNoTls(strTlsError))
            return "TLS failed: the port does not speak TLS (a plain MQTT port? mqtts:// needs the broker's TLS "
                   "listener, usually 8883; mqtt:// is for a plain one)";
        if (strTlsError.find("certificate verify failed") != std::string::npos)
            return "TLS failed: the broker's certificate is not trusted (not signed by an authority in the system's "
                   "certificates, or not for this host name)";
        return "TLS failed" + (strTlsError.empty() ? std::string() : " (" + strTlsError + ")");
    }
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        return std::strerror(nErrno);
    case MOSQ_ERR_EAI:
        return "host name not found";
    case MOSQ_ERR_TLS:
        return "TLS failed";
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
    if (rc == MOSQ_ERR_SUCCESS) {
        s.setInFlight.insert(nMid);
        s.nInFlight = s.setInFlight.size();
    }
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

// Writes and reads the connection for a moment; false once it has ended.
bool ServeOnce(mosquitto* pMosq)
{
    pollfd fd{mosquitto_socket(pMosq), static_cast<short>(POLLIN | (mosquitto_want_write(pMosq) ? POLLOUT : 0)), 0};
    if (fd.fd < 0 || (poll(&fd, 1, 50) < 0 && errno != EINTR))
        return false;
    int rc = MOSQ_ERR_SUCCESS;
    if (fd.revents & POLLOUT)
        rc = mosquitto_loop_write(pMosq, 1);
    if (rc == MOSQ_ERR_SUCCESS && (fd.revents & (POLLIN | POLLHUP | POLLERR)))
        rc = mosquitto_loop_read(pMosq, 1);
    return rc == MOSQ_ERR_SUCCESS;
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
        if (!HasWaiting(s) || !ServeOnce(pMosq))
            break;
    }
    if (s.bSessionUp) {
        Flush(s, pMosq);
        MqttMessage goodbye = s.config.will;
        goodbye.bRetain = true;
        Publish(s, pMosq, goodbye);
    }
    // Until the broker has acknowledged all of it: a socket closed with its
    // acknowledgements unread is reset, and the broker may then lose what it
    // had not read yet (the last state, the goodbye itself).
    while (s.bSessionUp && !s.setInFlight.empty() && Clock::now() < tDeadline && ServeOnce(pMosq)) {
    }
    mosquitto_disconnect(pMosq);
    while (mosquitto_socket(pMosq) >= 0 && Clock::now() < tDeadline && ServeOnce(pMosq)) {
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
    s.strLastTlsError.clear();
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
    Shared& s = *static_cast<Shared*>(pUser);
    if (s.setInFlight.erase(nMid) == 0)
        ++s.nUnexpectedAcks;
    s.nInFlight = s.setInFlight.size();
}

void OnMqttMessage(mosquitto*, void* pUser, const mosquitto_message* pMessage)
{
    Shared& s = *static_cast<Shared*>(pUser);
    MqttIncoming message;
    message.strTopic = pMessage->topic ? pMessage->topic : "";
    message.bRetained = pMessage->retain;
    // The length first: a message of any size is only ever read once, by
    // the client, and never copied here.
    const size_t nLength =
        pMessage->payload && pMessage->payloadlen > 0 ? static_cast<size_t>(pMessage->payloadlen) : 0;
    if (nLength > s.config.nIncomingLimit) {
        ++s.nIncomingTooLong;
        message.nTooLongBytes = nLength;
    } else {
        message.strPayload.assign(static_cast<const char*>(pMessage->payload), nLength);
    }
    std::lock_guard lock(s.handlerMutex);
    if (s.onMessage)
        s.onMessage(std::move(message));
}

void OnMqttLog(mosquitto*, void* pUser, int nLevel, const char* pszText)
{
    // libmosquitto tells OpenSSL's reasons only here.
    if (nLevel == MOSQ_LOG_ERR && pszText && std::strncmp(pszText, "OpenSSL Error", 13) == 0)
        static_cast<Shared*>(pUser)->strLastTlsError = pszText;
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
                Report(s, "lost the broker at " + Broker(s.config) + " (" + Reason(s, rc, nServeErrno, false) +
                              "), reconnecting");
            } else if (rc != MOSQ_ERR_CONN_REFUSED) {
                Report(s, "no answer from the broker at " + Broker(s.config) + " (" + Reason(s, rc, nServeErrno, true) +
                              "), trying again");
            }
        } else {
            Report(s, "cannot connect to " + Broker(s.config) + " (" + Reason(s, rc, nErrno, true) + "), trying again");
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
