#include "fleet/MqttLink.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fleet/MqttLinkShared.h"

namespace {

using Clock = std::chrono::steady_clock;
// Debian's, as OpenSSL's own default names it.
constexpr char SystemCertificateFolder[] = "/etc/ssl/certs";

std::atomic<int> s_nLeftRunning{0};

} // namespace

CMqttLink::CMqttLink(MqttLinkConfig config)
    : m_pShared(std::make_shared<Shared>(std::move(config)))
{
}

CMqttLink::~CMqttLink()
{
    Stop(std::chrono::milliseconds(0));
}

void CMqttLink::SetAnnouncements(std::vector<MqttMessage> vecMessages)
{
    m_pShared->vecAnnouncements = std::move(vecMessages);
}

void CMqttLink::SetMessageHandler(MessageHandler handler)
{
    std::lock_guard lock(m_pShared->handlerMutex);
    m_pShared->onMessage = std::move(handler);
}

void CMqttLink::SetConnectHandler(ConnectHandler handler)
{
    std::lock_guard lock(m_pShared->handlerMutex);
    m_pShared->onConnect = std::move(handler);
}

bool CMqttLink::Start(std::string& strError)
{
    static std::once_flag s_libraryInit;
    std::call_once(s_libraryInit, [] { mosquitto_lib_init(); });
    Shared& s = *m_pShared;
    if (s.pMosq || m_thread.joinable()) {
        strError = "already started";
        return false;
    }
    if (s.nWakeFd < 0) {
        strError = std::string("no event descriptor: ") + std::strerror(errno);
        return false;
    }
    s.pMosq = mosquitto_new(s.config.strClientId.c_str(), true, &s);
    if (!s.pMosq) {
        strError = "cannot make an MQTT client";
        return false;
    }
    const MqttMessage& will = s.config.will;
    int rc = mosquitto_will_set(s.pMosq, will.strTopic.c_str(), static_cast<int>(will.strPayload.size()),
                                will.strPayload.data(), MqttQos, will.bRetain);
    // An event must not wait for the broker's acknowledgement of the last
    // message (Nagle's algorithm held some for 40 ms).
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_int_option(s.pMosq, MOSQ_OPT_TCP_NODELAY, 1);
    if (rc == MOSQ_ERR_SUCCESS && !s.config.strUser.empty())
        rc = mosquitto_username_pw_set(s.pMosq, s.config.strUser.c_str(),
                                       s.config.strPassword.empty() ? nullptr : s.config.strPassword.c_str());
    if (rc == MOSQ_ERR_SUCCESS && s.config.bTls) {
        // The system's certificate authorities; the peer and its host name
        // are checked. The folder as well as the OS option: libmosquitto
        // 2.0.11 refuses every reconnect with the option alone (its check
        // asks for a CA file or folder once a TLS context exists).
        rc = mosquitto_tls_set(s.pMosq, nullptr, SystemCertificateFolder, nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_int_option(s.pMosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_opts_set(s.pMosq, 1, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_insecure_set(s.pMosq, false);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        strError = std::string("cannot set the MQTT client up: ") + mosquitto_strerror(rc);
        return false;
    }
    mosquitto_connect_callback_set(s.pMosq, OnMqttConnect);
    mosquitto_disconnect_callback_set(s.pMosq, OnMqttDisconnect);
    mosquitto_publish_callback_set(s.pMosq, OnMqttPublish);
    mosquitto_message_callback_set(s.pMosq, OnMqttMessage);
    mosquitto_log_callback_set(s.pMosq, OnMqttLog);
    s.nPhase = MqttPhase::Connecting;
    m_thread = std::thread([pShared = m_pShared]() mutable {
        RunMqttLink(pShared);
        bool bCounted = false;
        {
            std::lock_guard lock(pShared->mutex);
            bCounted = pShared->bLeftRunning;
        }
        // The last owner may be this thread: the client goes before the
        // count says the thread is out of the library.
        pShared.reset();
        if (bCounted)
            --s_nLeftRunning;
    });
    return true;
}

void CMqttLink::PostEvent(MqttMessage message)
{
    Shared& s = *m_pShared;
    {
        std::lock_guard lock(s.mutex);
        if (s.bStopping)
            return;
        if (s.queEvents.size() >= s.config.nQueueLimit) {
            s.queEvents.pop_front();
            ++s.nDropped;
        }
        s.queEvents.push_back(std::move(message));
    }
    WakeMqttLink(s);
}

void CMqttLink::PostLatest(MqttMessage message)
{
    Shared& s = *m_pShared;
    {
        std::lock_guard lock(s.mutex);
        if (s.bStopping)
            return;
        const auto it = std::find_if(s.vecLatest.begin(), s.vecLatest.end(),
                                     [&](const MqttMessage& m) { return m.strTopic == message.strTopic; });
        if (it != s.vecLatest.end())
            *it = std::move(message);
        else
            s.vecLatest.push_back(std::move(message));
    }
    WakeMqttLink(s);
}

void CMqttLink::Stop(std::chrono::milliseconds farewellWait)
{
    Shared& s = *m_pShared;
    {
        std::lock_guard lock(s.handlerMutex);
        s.onMessage = nullptr;
        s.onConnect = nullptr;
    }
    if (!m_thread.joinable())
        return;
    std::unique_lock lock(s.mutex);
    s.bStopping = true;
    s.tFarewellDeadline = Clock::now() + farewellWait;
    lock.unlock();
    s.cv.notify_all();
    WakeMqttLink(s);
    lock.lock();
    // A name lookup or a connect under way cannot be cut short: the program
    // must still end, so the thread is left to finish on its own then.
    const auto wait = farewellWait + std::chrono::seconds(1);
    const bool bFinished = s.cv.wait_for(lock, wait, [&] { return s.bFinished; });
    if (!bFinished) {
        s.bLeftRunning = true;
        ++s_nLeftRunning;
    }
    lock.unlock();
    if (bFinished) {
        m_thread.join();
        return;
    }
    std::fprintf(stderr, "Quado: MQTT: the link to %s:%d did not end within %lld s (a name lookup or connect under way);"
                         " going on without it\n",
                 s.config.strHost.c_str(), s.config.nPort,
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(wait).count()));
    m_thread.detach();
}

int CMqttLink::ThreadsLeftRunning()
{
    return s_nLeftRunning;
}

MqttPhase CMqttLink::Phase() const
{
    return m_pShared->nPhase;
}

uint64_t CMqttLink::EventsDropped() const
{
    return m_pShared->nDropped;
}

uint64_t CMqttLink::Connections() const
{
    return m_pShared->nConnections;
}

uint64_t CMqttLink::IncomingTooLong() const
{
    return m_pShared->nIncomingTooLong;
}

size_t CMqttLink::InFlight() const
{
    return m_pShared->nInFlight;
}

uint64_t CMqttLink::UnexpectedAcks() const
{
    return m_pShared->nUnexpectedAcks;
}
