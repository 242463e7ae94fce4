// Shared pieces of the venue tests: Debian's mosquitto on a free loopback
// port with a configuration the test writes, a subscriber that keeps every
// message it sees, quado-demo run against them as a venue runs it, and a
// NOTIFY_SOCKET the test binds itself.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace fleettest {

// Empty when the program is not installed; the tests that need it skip.
QString MosquittoProgram();
QString PromtoolProgram();

class CBroker {
public:
    ~CBroker();
    // The first start picks a free port; later starts reuse it. Extra lines
    // go into the configuration. True once the broker takes connections.
    bool Start(const QString& strExtraConfig = {});
    void Stop();
    int Port() const { return m_nPort; }
    qint64 Pid() const { return m_process.processId(); }
    QString Url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_nPort); }
    QString ConfigDir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nPort = 0;
};

struct Received {
    std::string strTopic;
    std::string strPayload;
    bool bRetained = false;
};

// A libmosquitto client on its own thread; it subscribes again after the
// broker comes back.
class CSubscriber {
public:
    CSubscriber(int nPort, std::string strFilter = "#");
    ~CSubscriber();

    // Runs the UI thread's events meanwhile (the demo's output is read there).
    bool WaitConnected();
    // The first message from nFrom on, on that topic, whose payload passes.
    std::optional<Received> WaitFor(const std::string& strTopic,
                                    const std::function<bool(const std::string&)>& accept = {}, size_t nFrom = 0);
    std::vector<Received> Messages() const;
    size_t Count() const;
    void Publish(const std::string& strTopic, const std::string& strPayload, bool bRetain = false);

private:
    static void OnConnect(mosquitto* pMosq, void* pUser, int rc);
    static void OnMessage(mosquitto*, void* pUser, const mosquitto_message* pMessage);

    std::string m_strFilter;
    mosquitto* m_pMosq = nullptr;
    mutable std::mutex m_mutex;
    std::vector<Received> m_vecReceived;
    std::atomic<bool> m_bSubscribed{false};
};

QJsonObject Json(const std::string& strPayload);
// A payload that is a JSON object whose "event" is strEvent.
std::function<bool(const std::string&)> IsEvent(const char* pszEvent);

// quado-demo run as a venue runs it: offscreen, silent, games at 20 times a
// person's pace, with the options given.
class CDemo {
public:
    ~CDemo();
    bool Start(const QStringList& args, const QStringList& extraEnvironment = {});
    // Runs the UI thread's events until the demo's stderr holds the text.
    bool WaitForStderr(const QString& strText);
    QString Stderr();
    qint64 Pid() const { return m_process.processId(); }
    void Kill();
    // SIGTERM, then waits for the end; the exit code, or -1 on a crash.
    int Terminate();

private:
    QProcess m_process;
    QString m_strStderr;
};

// An AF_UNIX datagram socket at a fresh path, as systemd's NOTIFY_SOCKET.
class CNotifySocket {
public:
    CNotifySocket();
    ~CNotifySocket();
    bool IsOpen() const { return m_nFd >= 0; }
    QString Path() const { return m_strPath; }
    // Every datagram waiting now, without waiting for more.
    std::vector<std::string> Take();

private:
    QTemporaryDir m_dir;
    QString m_strPath;
    int m_nFd = -1;
};

} // namespace fleettest
