// Automatic connection of the adapter link: while on and not connected, the
// chosen adapter is connected whenever it is listed (at start, on arrival,
// after a refresh, after an unplug); a failed attempt is tried again after a
// growing pause. Drives the link only through IAutoConnectTarget.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

// What automatic connection needs from the adapter link.
class IAutoConnectTarget {
public:
    virtual ~IAutoConnectTarget() = default;
    virtual bool IsConnected() = 0;
    virtual std::vector<QString> ListedSerials() = 0;
    virtual void RefreshList() = 0;
    // The normal connect sequence for that list entry, its failure put on the
    // status line instead of a message box. True when connected.
    virtual bool ConnectQuietly(int nIndex) = 0;
    // Something the user must answer first is on screen: no attempt now; the
    // target tells of the change once it has gone.
    virtual bool IsBusy() { return false; }
};

class CAutoConnect : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstBackOffMs = 1000;
    static constexpr int MaxBackOffMs = 30000;

    explicit CAutoConnect(IAutoConnectTarget* pTarget);

    // An empty serial means the first adapter listed.
    void SetSerial(const QString& strSerial) { m_strSerial = strSerial; }
    void SetEnabled(bool bEnabled);
    bool IsEnabled() const { return m_bEnabled; }

    // The adapter list changed or the connection ended: try at once (outside
    // the caller's stack) unless an attempt is under way.
    void OnListOrConnectionChanged();
    // A person pressed the button to disconnect: they mean it.
    void OnManualDisconnect();

    int GetBackOffMs() const { return m_nBackOffMs; }
    int GetAttempts() const { return m_nAttempts; }
    int GetConnections() const { return m_nConnections; }
    bool IsRetryPending() const { return m_timerRetry.isActive(); }

    // Told after each automatic attempt (for the frame's menu and kiosk line).
    std::function<void()> m_onAttempted;

private:
    void TryNow();
    int ChosenIndex();

    IAutoConnectTarget* m_pTarget;
    QString m_strSerial;
    bool m_bEnabled = false;
    bool m_bAttempting = false;
    bool m_bTryQueued = false;
    int m_nBackOffMs = FirstBackOffMs;
    int m_nAttempts = 0;
    int m_nConnections = 0;
    QTimer m_timerRetry;
};

class CAdapterLink;

// Ties automatic connection to the adapter link: its list and connect
// sequence, its news of the list and the connection, and its disconnects (a
// connection a person ends, from the window or a remote command, is their
// choice and turns automatic connection off).
class CDravikAutoConnect : public IAutoConnectTarget {
public:
    explicit CDravikAutoConnect(CAdapterLink& link);
    ~CDravikAutoConnect() override;

    CAutoConnect& Control() { return m_autoConnect; }

    bool IsConnected() override;
    std::vector<QString> ListedSerials() override;
    void RefreshList() override;
    bool ConnectQuietly(int nIndex) override;
    bool IsBusy() override;

private:
    CAdapterLink& m_link;
    CAutoConnect m_autoConnect;
};
