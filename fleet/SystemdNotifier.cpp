#include "fleet/SystemdNotifier.h"

#include <QEvent>
#include <QMetaObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fleet/NotifySocket.h"

bool CSystemdNotifier::IsWanted()
{
    const char* pszSocket = std::getenv("NOTIFY_SOCKET");
    return pszSocket && *pszSocket;
}

CSystemdNotifier::CSystemdNotifier(StatusSource statusSource, QObject* pParent)
    : QObject(pParent)
    , m_statusSource(std::move(statusSource))
{
    connect(&m_timerPing, &QTimer::timeout, this, &CSystemdNotifier::Ping);
}

CSystemdNotifier::~CSystemdNotifier()
{
    if (m_pView)
        m_pView->removeEventFilter(this);
}

void CSystemdNotifier::Start(QObject* pView, bool bPaintedAlready)
{
    uint64_t nMicroseconds = 0;
    // Zero pid: WATCHDOG_PID, when set, must name this process.
    const int rc = SystemdWatchdog(&nMicroseconds);
    if (rc > 0 && nMicroseconds > 0) {
        m_nPingMs = PingIntervalFor(nMicroseconds);
        m_timerPing.start(m_nPingMs);
        Ping();
    } else if (rc < 0) {
        // Not a number, zero, "infinity", or too big for 64 bits: systemd
        // would never write that, so no ping is better than a guess.
        const char* pszValue = std::getenv("WATCHDOG_USEC");
        std::fprintf(stderr, "Quado: systemd: ignoring WATCHDOG_USEC=%.40s: %s\n", pszValue ? pszValue : "",
                     std::strerror(-rc));
    }
    if (bPaintedAlready || !pView) {
        Ready();
    } else {
        m_pView = pView;
        m_pView->installEventFilter(this);
    }
}

bool CSystemdNotifier::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pView && pEvent->type() == QEvent::Paint && !m_bReady) {
        m_pView->removeEventFilter(this);
        m_pView = nullptr;
        // Once this paint has reached the screen.
        QMetaObject::invokeMethod(this, &CSystemdNotifier::Ready, Qt::QueuedConnection);
    }
    return QObject::eventFilter(pWatched, pEvent);
}

void CSystemdNotifier::Ready()
{
    if (m_bReady)
        return;
    m_bReady = true;
    m_strStatus = m_statusSource ? m_statusSource() : std::string();
    std::replace(m_strStatus.begin(), m_strStatus.end(), '\n', ' ');
    NotifySystemd("READY=1\nSTATUS=" + m_strStatus);
}

void CSystemdNotifier::CheckStatus()
{
    if (!m_bReady || m_bStopping || !m_statusSource)
        return;
    std::string strStatus = m_statusSource();
    // One line: a line feed would start another assignment.
    std::replace(strStatus.begin(), strStatus.end(), '\n', ' ');
    if (strStatus == m_strStatus)
        return;
    m_strStatus = std::move(strStatus);
    NotifySystemd("STATUS=" + m_strStatus);
}

int CSystemdNotifier::PingIntervalFor(uint64_t nWatchdogMicroseconds)
{
    // Half the watchdog's time, in whole milliseconds, at least one. A
    // watchdog of years is pinged every MaxPingMs: more often than asked
    // is always allowed, and the timer takes no longer a wait.
    const uint64_t nMs = std::max<uint64_t>(1, nWatchdogMicroseconds / 2000);
    return static_cast<int>(std::min<uint64_t>(nMs, MaxPingMs));
}

void CSystemdNotifier::Ping()
{
    ++m_nPings;
    NotifySystemd("WATCHDOG=1");
}

void CSystemdNotifier::Stopping()
{
    m_bStopping = true;
    NotifySystemd("STOPPING=1");
}
