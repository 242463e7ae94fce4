// The adapter driver window: lists the Dravik adapters by serial number,
// connects and disconnects the chosen one, shows the board's text in a log and
// the adapter's UART settings in a status line, and owns the adapter, its
// session (connect sequence and receive thread, see AdapterSession.h) and the
// game message interpreter. The main frame owns it, shows and hides it, and
// gives it its links.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "device/Dravik.h"
#include "device/UartConfig.h"
#include "drivers/AdapterSession.h"
#include "drivers/ChunkBoard.h"
#include "drivers/LogView.h"
#include "platform/DeviceNotifier.h"
#include "protocol/GameEvents.h"
#include "protocol/GameMessageInterpreter.h"

class IMainFrame;
class IQuadoBoard;
class ISoundPlayer;

class CQuadoDravikDriver : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* Caption = "QUADO Dravik Driver";
    // Button 1014's two captions.
    static constexpr const char* ConnectCaption = "Connect";
    static constexpr const char* DisconnectCaption = "Disconnect";
    static constexpr int PollTimerId = 85;
    static constexpr int PollPeriodMs = 500;
    // The log keeps at least this many of the most recent characters; older
    // ones are dropped in batches of LogTrimSlack so appending stays cheap.
    static constexpr int MaxLogChars = 1 << 20;
    static constexpr int LogTrimSlack = 64 * 1024;
    // Interface names of adapters begin so; compared byte for byte.
    static constexpr std::string_view AdapterInterfacePrefix = "\\\\?\\HID#Vid_10c4&Pid_8253";

    // When the constructor registers for device notifications and fills the
    // adapter list: at once, or when StartDeviceWatch is called (the program
    // does it once its first picture is on the screen).
    enum class DeviceWatch { AtOnce, Deferred };

    // Creates the window hidden, without an owner, centred on the primary
    // screen, registered for device notifications, with the adapter list
    // filled (unless deferred) and the status line set.
    explicit CQuadoDravikDriver(DeviceWatch nWatch = DeviceWatch::AtOnce);
    ~CQuadoDravikDriver() override;

    // The frame's links: itself, the address of its view pointer and of its
    // mute flag; the player the interpreter plays through. Any may be null.
    void SetLinks(IMainFrame* pMainFrame, IQuadoBoard** ppView, const bool* pbMute, ISoundPlayer* pSoundPlayer);

    void ToggleConnection();
    // The program's end, while everything still listens: no more device
    // notifications or polls, and an open adapter is let go for the reason
    // "closing" (a game in progress ends abandoned). Later calls do nothing.
    void EndForExit();
    void RefreshDeviceList();
    void UpdateStatusLine();
    bool RegisterDeviceNotifications();
    // Registers for device notifications and fills the list; later calls
    // do nothing.
    void StartDeviceWatch();
    bool IsDeviceWatchStarted() const { return m_bDeviceWatchStarted; }
    // The device-change handler: refreshes the list when an adapter's
    // interface arrives or leaves. Always true.
    bool OnDeviceChange(uint32_t nEvent, uint32_t nDeviceType, std::wstring_view strInterfaceName);
    void OnTimer(int nIdEvent);
    // Clear Data: empties the log only.
    void OnClearData();
    // One read's text from the receive thread, on this window's thread.
    void ProcessChunk(std::wstring_view chunk);

    // Hide, Escape and the close box: the frame's Show toggle, never a disconnect.
    void reject() override;

signals:
    // The status line's text has changed.
    void StatusLineChanged();

public:

    // The first 25 characters, each reduced to its low byte, equal the prefix.
    static bool IsAdapterInterfaceName(std::wstring_view strInterfaceName);
    // The status line for an open adapter, from its settings or without them.
    static QString ConnectedStatusText(const UartConfig* pConfig);

    bool IsConnected() { return m_dravik.GetDevice().IsOpen(); }
    CGameMessageInterpreter& Interpreter() { return m_interpreter; }
    // What the board's lines and this window's link mean for a game.
    CGameEvents& GameEvents() { return m_gameEvents; }
    // While an error box is up: nothing may connect behind the user's back.
    bool IsShowingError() const { return m_bShowingError; }
    const std::shared_ptr<CReceiveThread>& ReceiveThread() const { return m_session.ReceiveThread(); }
    bool IsPollTimerActive() const { return m_timerPoll.isActive(); }
    // Whether the hint about an adapter found without access stands (the
    // status line shows it whenever disconnected), and how often it was
    // raised: once for each arrival of such an adapter.
    bool IsAccessHintShown() const { return m_bAccessHint; }
    uint32_t GetAccessHintsRaised() const { return m_nAccessHintsRaised; }

    // --- Automatic connection's hooks (see AutoConnect.h) ---
    // The serial numbers in list order, as the list shows them.
    std::vector<QString> ListedSerials() const;
    // Connects that list entry with the normal sequence; a failure's reason
    // goes on the status line, no message box. True when connected.
    bool ConnectQuietly(int nIndex);
    // Set while failures are to be told on the status line, not in a box.
    bool m_bQuietErrors = false;
    // The last quiet failure, shown after "NOT CONNECTED" until a connect works.
    QString m_strLastFailure;
    // Called after each list refresh and each disconnect.
    std::function<void()> m_onListOrConnectionChanged;

    // Members in the order the window's parts depend on one another: the
    // adapter first, so it outlives everything that talks to it.
    CDravik m_dravik;
    CAdapterSession m_session{m_dravik, [this](uint32_t nSize) { return AllocateReceiveBuffer(nSize); }};
    IMainFrame* m_pMainFrame = nullptr;
    IQuadoBoard** m_ppView = nullptr;
    const bool* m_pbMute = nullptr;
    CGameEvents m_gameEvents;
    CGameMessageInterpreter m_interpreter;
    // The interpreter's board while a chunk is processed (see ChunkBoard.h).
    CChunkBoard m_chunkBoard;
    IQuadoBoard* m_pChunkBoard = &m_chunkBoard;
    std::unique_ptr<CDeviceNotification> m_hDevNotify;

    QPushButton m_btnHide;
    QGroupBox m_grpSelect;
    QComboBox m_cbDevices;
    QPushButton m_btnConnect;
    QLabel m_stReceived;
    CLogView m_reLog;
    QLabel m_stStatus;
    QPushButton m_btnClear;
    QString m_strStatus;

protected:
    // Enter in the adapter list presses Connect (Disconnect while connected)
    // instead of the dialog's default button, which would hide the window.
    void keyPressEvent(QKeyEvent* pEvent) override;
    // The receive buffer the connect allocates; null when it cannot be had.
    virtual uint8_t* AllocateReceiveBuffer(uint32_t nSize);

private:
    void LayOut();
    void Connect();
    void Disconnect(DisconnectReason nReason = DisconnectReason::User);
    // The poll found the adapter gone (or a read failed and it then did).
    void OnAdapterLost();
    void ShowError(const char* pszText);
    void AppendToLog(const QString& strText);

    QTimer m_timerPoll;
    // The adapters as listed, entry for entry: what a connect must find.
    std::vector<CHIDDevice::AdapterIdentity> m_vecListed;
    // The adapter this window holds, shown in the list while connected.
    CHIDDevice::AdapterIdentity m_connected;
    bool m_bShowingError = false;
    // Adapters refused for lack of permission at the last list refresh; a
    // rise means one arrived, and the status line says so until the refused
    // adapters are gone or a connection succeeds.
    uint32_t m_nDeniedAdapters = 0;
    bool m_bAccessHint = false;
    // A refresh while connected cannot list the adapter this window holds.
    bool m_bListMissesHeldAdapter = false;
    uint32_t m_nAccessHintsRaised = 0;
    bool m_bDeviceWatchStarted = false;
};
