// Tells systemd how the program is when a Type=notify unit started it: ready
// once the first picture is on the screen, the status line as it changes, and
// the watchdog's ping from the UI thread's own event loop, so that a frozen
// UI thread stops the pings and systemd restarts the program.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>

class CSystemdNotifier : public QObject {
    Q_OBJECT
public:
    using StatusSource = std::function<std::string()>;

    // True when systemd waits for word from this process (NOTIFY_SOCKET).
    static bool IsWanted();

    explicit CSystemdNotifier(StatusSource statusSource, QObject* pParent = nullptr);
    ~CSystemdNotifier() override;

    // READY=1 once pView (the board) has been painted, at once when it has
    // been already; the watchdog's pings start now.
    void Start(QObject* pView, bool bPaintedAlready);
    // STOPPING=1: the program ends on purpose.
    void Stopping();
    // The status line may have changed: STATUS= if it did.
    void CheckStatus();

    // Half of WATCHDOG_USEC; 0 without a watchdog.
    int PingIntervalMs() const { return m_nPingMs; }
    // The longest wait between pings (24 days, below what an int of
    // milliseconds holds).
    static constexpr int MaxPingMs = 24 * 24 * 3600 * 1000;
    static int PingIntervalFor(uint64_t nWatchdogMicroseconds);
    uint64_t Pings() const { return m_nPings; }
    bool IsReady() const { return m_bReady; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void Ready();
    void Ping();

    StatusSource m_statusSource;
    QObject* m_pView = nullptr;
    bool m_bReady = false;
    std::string m_strStatus;
    int m_nPingMs = 0;
    uint64_t m_nPings = 0;
    QTimer m_timerPing;
    bool m_bStopping = false;
};
