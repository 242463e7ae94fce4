#include "tests/end/EndTestSupport.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSqlError>
#include <QSqlQuery>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/EventWait.h"
#include "tests/support/HangGuard.h"
#include "tests/support/Loopback.h"

namespace endtest {

CHeldGameDemo::~CHeldGameDemo()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(testsupport::HangGuardMs);
    }
}

bool CHeldGameDemo::Start(const QStringList& args)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    environment.insert(QStringLiteral("QUADO_DEMO_SPEED"), QStringLiteral("20"));
    environment.insert(QStringLiteral("QUADO_DEMO_HOLD_AT_LEVEL"), QString::number(HeldLevel));
    m_process.setProcessEnvironment(environment);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                     [this] { m_strStdout += QString::fromUtf8(m_process.readAllStandardOutput()); });
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                     [this] { m_strStderr += QString::fromUtf8(m_process.readAllStandardError()); });
    m_process.start(QStringLiteral(QUADO_DEMO), QStringList{QStringLiteral("--connect")} + args);
    return m_process.waitForStarted(testsupport::HangGuardMs);
}

bool CHeldGameDemo::WaitForHeldGame()
{
    const QString strLevel = QStringLiteral("quado-demo: panel Level:|%1 of").arg(HeldLevel);
    testsupport::WaitForEvents([&] { return Stdout().contains(strLevel) || m_process.state() == QProcess::NotRunning; });
    return Stdout().contains(strLevel) && m_process.state() != QProcess::NotRunning;
}

void CHeldGameDemo::Signal(int nSignal)
{
    ::kill(static_cast<pid_t>(m_process.processId()), nSignal);
}

int CHeldGameDemo::WaitForEnd()
{
    m_process.waitForFinished(testsupport::HangGuardMs);
    Stdout();
    Stderr();
    if (m_process.state() != QProcess::NotRunning)
        return -1000;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -m_process.exitCode();
}

QString CHeldGameDemo::Stdout()
{
    m_strStdout += QString::fromUtf8(m_process.readAllStandardOutput());
    return m_strStdout;
}

QString CHeldGameDemo::Stderr()
{
    m_strStderr += QString::fromUtf8(m_process.readAllStandardError());
    return m_strStderr;
}

QStringList SideFiles(const QString& strPath)
{
    QStringList found;
    for (const char* pszSuffix : {"-wal", "-shm", "-journal"}) {
        if (QFileInfo::exists(strPath + QLatin1String(pszSuffix)))
            found << QFileInfo(strPath).fileName() + QLatin1String(pszSuffix);
    }
    return found;
}

CWriteLock::CWriteLock(const QString& strPath)
    : m_strName(QStringLiteral("end-test-lock"))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strName);
    db.setDatabaseName(strPath);
    if (!db.open())
        return;
    QSqlQuery query(db);
    m_bHeld = query.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

CWriteLock::~CWriteLock()
{
    Release();
    QSqlDatabase::removeDatabase(m_strName);
}

void CWriteLock::Release()
{
    if (!m_bHeld)
        return;
    m_bHeld = false;
    QSqlDatabase db = QSqlDatabase::database(m_strName);
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    db.close();
}

CDeafListener::CDeafListener()
{
    m_nListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = testsupport::LoopbackAddress(0);
    socklen_t nLength = sizeof address;
    if (m_nListener < 0 || bind(m_nListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_nListener, 0) != 0 ||
        getsockname(m_nListener, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
        return;
    m_nPort = ntohs(address.sin_port);
    // Never accepted: the first fills the queue, the kernel drops the
    // attempts after it.
    for (int& nFd : m_nFiller) {
        nFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const sockaddr_in target = testsupport::LoopbackAddress(m_nPort);
        if (connect(nFd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
            // In progress, and staying so.
        }
    }
}

CDeafListener::~CDeafListener()
{
    for (const int nFd : m_nFiller) {
        if (nFd >= 0)
            close(nFd);
    }
    if (m_nListener >= 0)
        close(m_nListener);
}

} // namespace endtest
