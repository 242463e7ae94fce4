#include "tests/fleet/FleetTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "tests/support/EventWait.h"
#include "tests/support/HangGuard.h"
#include "tests/support/Loopback.h"

namespace fleettest {

namespace {

QString FindProgram(const char* pszName)
{
    QString strPath = QStandardPaths::findExecutable(QString::fromLatin1(pszName));
    if (strPath.isEmpty())
        strPath = QStandardPaths::findExecutable(QString::fromLatin1(pszName), {QStringLiteral("/usr/sbin")});
    return strPath;
}

} // namespace

QString MosquittoProgram()
{
    return FindProgram("mosquitto");
}

QString PromtoolProgram()
{
    return FindProgram("promtool");
}

CBroker::~CBroker()
{
    Stop();
}

bool CBroker::Start(const QString& strExtraConfig)
{
    // A port free when looked at may be taken before the broker binds it:
    // then another one.
    for (int nAttempt = 0; nAttempt < 5; ++nAttempt) {
        if (m_nPort == 0 || nAttempt > 0)
            m_nPort = testsupport::FreeLoopbackPort();
        QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        config.write(QStringLiteral("listener %1 127.0.0.1\npersistence false\n").arg(m_nPort).toUtf8());
        config.write(strExtraConfig.isEmpty() ? QByteArray("allow_anonymous true\n") : strExtraConfig.toUtf8());
        config.close();
        m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("mosquitto.log")), QIODevice::Append);
        m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("mosquitto.log")), QIODevice::Append);
        m_process.start(MosquittoProgram(), {QStringLiteral("-c"), config.fileName()});
        if (!m_process.waitForStarted(testsupport::HangGuardMs))
            return false;
        // Up once it takes connections; a broker that could not start has ended.
        bool bEnded = false;
        while (!bEnded && !testsupport::AcceptsConnections(m_nPort))
            bEnded = m_process.waitForFinished(5);
        if (!bEnded)
            return true;
    }
    return false;
}

void CBroker::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    m_process.waitForFinished(testsupport::HangGuardMs);
}

CSubscriber::CSubscriber(int nPort, std::string strFilter)
    : m_strFilter(std::move(strFilter))
{
    mosquitto_lib_init();
    m_pMosq = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(m_pMosq, &CSubscriber::OnConnect);
    mosquitto_message_callback_set(m_pMosq, &CSubscriber::OnMessage);
    mosquitto_reconnect_delay_set(m_pMosq, 1, 1, false);
    mosquitto_connect_async(m_pMosq, "127.0.0.1", nPort, 60);
    mosquitto_loop_start(m_pMosq);
}

CSubscriber::~CSubscriber()
{
    mosquitto_disconnect(m_pMosq);
    mosquitto_loop_stop(m_pMosq, true);
    mosquitto_destroy(m_pMosq);
}

void CSubscriber::OnConnect(mosquitto* pMosq, void* pUser, int rc)
{
    auto* pThis = static_cast<CSubscriber*>(pUser);
    if (rc == 0) {
        mosquitto_subscribe(pMosq, nullptr, pThis->m_strFilter.c_str(), 1);
        mosquitto_subscribe(pMosq, nullptr, "fleettest/probe/#", 1);
    }
    pThis->m_bSubscribed = rc == 0;
}

void CSubscriber::OnMessage(mosquitto*, void* pUser, const mosquitto_message* pMessage)
{
    auto* pThis = static_cast<CSubscriber*>(pUser);
    std::lock_guard lock(pThis->m_mutex);
    pThis->m_vecReceived.push_back({pMessage->topic,
                                    std::string(static_cast<const char*>(pMessage->payload),
                                                static_cast<size_t>(pMessage->payloadlen)),
                                    pMessage->retain});
}

bool CSubscriber::WaitConnected()
{
    // The subscription is in place once the broker's answer to it could
    // have come; a retained message proves it, and so does a round trip of
    // our own.
    if (!testsupport::WaitForEvents([&] { return m_bSubscribed.load(); }))
        return false;
    const std::string strProbe = "fleettest/probe/" + std::to_string(reinterpret_cast<uintptr_t>(this));
    const size_t nFrom = Count();
    Publish(strProbe, "x");
    return WaitFor(strProbe, {}, nFrom).has_value();
}

std::optional<Received> CSubscriber::WaitFor(const std::string& strTopic,
                                             const std::function<bool(const std::string&)>& accept, size_t nFrom)
{
    std::optional<Received> found;
    testsupport::WaitForEvents([&] {
        std::lock_guard lock(m_mutex);
        for (size_t i = nFrom; i < m_vecReceived.size(); ++i) {
            if (m_vecReceived[i].strTopic == strTopic && (!accept || accept(m_vecReceived[i].strPayload))) {
                found = m_vecReceived[i];
                return true;
            }
        }
        return false;
    });
    return found;
}

std::vector<Received> CSubscriber::Messages() const
{
    std::lock_guard lock(m_mutex);
    return m_vecReceived;
}

size_t CSubscriber::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_vecReceived.size();
}

void CSubscriber::Publish(const std::string& strTopic, const std::string& strPayload, bool bRetain)
{
    mosquitto_publish(m_pMosq, nullptr, strTopic.c_str(), static_cast<int>(strPayload.size()), strPayload.data(), 1,
                      bRetain);
}

QJsonObject Json(const std::string& strPayload)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(strPayload)).object();
}

std::function<bool(const std::string&)> IsEvent(const char* pszEvent)
{
    return [strEvent = QString::fromLatin1(pszEvent)](const std::string& strPayload) {
        return Json(strPayload).value(QStringLiteral("event")).toString() == strEvent;
    };
}

CDemo::~CDemo()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(testsupport::HangGuardMs);
    }
}

bool CDemo::Start(const QStringList& args, const QStringList& extraEnvironment)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    environment.insert(QStringLiteral("QUADO_DEMO_SPEED"), QStringLiteral("20"));
    for (const QString& strEntry : extraEnvironment)
        environment.insert(strEntry.section(QLatin1Char('='), 0, 0), strEntry.section(QLatin1Char('='), 1));
    m_process.setProcessEnvironment(environment);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                     [this] { m_strStderr += QString::fromUtf8(m_process.readAllStandardError()); });
    m_process.start(QStringLiteral(QUADO_DEMO), args);
    return m_process.waitForStarted(testsupport::HangGuardMs);
}

bool CDemo::WaitForStderr(const QString& strText)
{
    testsupport::WaitForEvents(
        [&] { return m_strStderr.contains(strText) || m_process.state() == QProcess::NotRunning; });
    return Stderr().contains(strText);
}

QString CDemo::Stderr()
{
    m_strStderr += QString::fromUtf8(m_process.readAllStandardError());
    return m_strStderr;
}

void CDemo::Kill()
{
    m_process.kill();
    m_process.waitForFinished(testsupport::HangGuardMs);
}

int CDemo::Terminate()
{
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    m_process.waitForFinished(testsupport::HangGuardMs);
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

CNotifySocket::CNotifySocket()
    : m_strPath(m_dir.filePath(QStringLiteral("notify")))
{
    m_nFd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(m_strPath);
    if (m_nFd < 0 || static_cast<size_t>(path.size()) >= sizeof address.sun_path) {
        if (m_nFd >= 0)
            close(m_nFd);
        m_nFd = -1;
        return;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    if (bind(m_nFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(m_nFd);
        m_nFd = -1;
    }
}

CNotifySocket::~CNotifySocket()
{
    if (m_nFd >= 0)
        close(m_nFd);
}

std::vector<std::string> CNotifySocket::Take()
{
    std::vector<std::string> vecDatagrams;
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(m_nFd, buffer, sizeof buffer, 0);
        if (n < 0)
            break;
        vecDatagrams.emplace_back(buffer, static_cast<size_t>(n));
    }
    return vecDatagrams;
}

} // namespace fleettest
