// The link to a game board, without widgets: the adapter, its session and
// receive thread, the game message interpreter and its state, the game-event
// stream, the device watch and the poll that notices a lost adapter. The
// adapter window is one view of it; automatic connection, the kiosk line, the
// records, the venue, the tools and the benches hold it too, and none of them
// needs the window. UI thread only (the receive thread hands its chunks here).
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "device/Dravik.h"
#include "device/HIDDevice.h"
#include "drivers/AdapterSession.h"
#include "drivers/ChunkBoard.h"
#include "protocol/GameEvents.h"
#include "protocol/GameMessageInterpreter.h"

class CDeviceNotification;
class IQuadoBoard;
class ISoundPlayer;

class CAdapterLink : public QObject {
    Q_OBJECT
public:
    static constexpr int PollTimerId = 85;
    static constexpr int PollPeriodMs = 500;
    // Interface names of adapters begin so; compared byte for byte.
    static constexpr std::string_view AdapterInterfacePrefix = "\\\\?\\HID#Vid_10c4&Pid_8253";

    // How a connect ended. NotListed: nothing (or nothing any more) at that
    // place in the list.
    enum class ConnectResult { Connected, NotListed, OpenFailed, WrongAdapter, EnableUartFailed, AllocateFailed };
    // Who tells a failed connect: the status line (nobody may be there to
    // answer a box), or the caller, which has someone to show it to.
    enum class FailureReport { OnStatusLine, ByCaller };

    // allocate: the receive buffer for a connect; null when it cannot be had.
    explicit CAdapterLink(CAdapterSession::Allocator allocate = {});
    // Ends an open connection as a closing program does (see Close).
    ~CAdapterLink() override;
    CAdapterLink(const CAdapterLink&) = delete;
    CAdapterLink& operator=(const CAdapterLink&) = delete;

    // Where the interpreter lights, writes and plays; the view pointer is
    // read at each chunk's end. Any may be null.
    void SetOutputs(IQuadoBoard** ppView, const bool* pbMute, ISoundPlayer* pSoundPlayer);
    // Called with true before a connect or disconnect and false after it
    // (the window shows a wait cursor meanwhile).
    void SetWaitIndicator(std::function<void(bool bWaiting)> indicate) { m_indicateWait = std::move(indicate); }

    // --- The adapter list ---
    // Registers for device notifications and reads the list; later calls do
    // nothing.
    void StartDeviceWatch();
    bool IsDeviceWatchStarted() const { return m_bDeviceWatchStarted; }
    bool RegisterDeviceNotifications();
    bool IsDeviceWatchRegistered() const { return m_hDevNotify != nullptr; }
    // Reads the list again (ListChanged, then ListOrConnectionChanged).
    void RefreshAdapters();
    // The adapters in list order; while connected the held one comes first.
    const std::vector<CHIDDevice::AdapterIdentity>& Adapters() const { return m_vecListed; }
    // Each listed adapter as a person reads it: its serial number, or a
    // placeholder when it could not be read.
    std::vector<QString> ListedSerials() const;
    static QString DisplayName(const CHIDDevice::AdapterIdentity& adapter);
    // The list is empty and adapters are present that this user may not open.
    bool IsListEmptyForLackOfAccess() const { return m_bListDenied; }
    // The hint about an adapter found without access stands, and how often
    // it was raised (once for each arrival of such an adapter).
    bool IsAccessHintShown() const { return m_bAccessHint; }
    uint32_t GetAccessHintsRaised() const { return m_nAccessHintsRaised; }
    // The device-change handler: reads the list again when an adapter's
    // interface arrives or leaves. Always true.
    bool OnDeviceChange(uint32_t nEvent, uint32_t nDeviceType, std::wstring_view strInterfaceName);
    // The first 25 characters, each reduced to its low byte, equal the prefix.
    static bool IsAdapterInterfaceName(std::wstring_view strInterfaceName);

    // --- Connecting ---
    // Connects the adapter the list shows with that identity, with the whole
    // connect sequence. A failure lets go of everything again (Disconnect),
    // and is told as asked.
    ConnectResult Connect(const CHIDDevice::AdapterIdentity& adapter,
                          FailureReport nReport = FailureReport::OnStatusLine);
    // Connects the entry at that list place, its failure on the status line.
    bool ConnectQuietly(int nIndex);
    // Stops the thread, closes the adapter (settings put back), stops the
    // poll; also when nothing is open. The game in progress ends with it.
    void Disconnect(DisconnectReason nReason = DisconnectReason::User);
    bool IsConnected() { return m_dravik.GetDevice().IsOpen(); }
    // The adapter held (or last held).
    const CHIDDevice::AdapterIdentity& ConnectedAdapter() const { return m_connected; }
    // The text of a failed connect, as the status line and the error box say it.
    static const char* FailureText(ConnectResult nResult);
    // The failure of the last connect told on the status line; empty once a
    // connect works.
    const QString& LastFailure() const { return m_strLastFailure; }
    ConnectResult LastConnectResult() const { return m_nLastResult; }
    // While someone must answer a failure (an error box is up), nothing
    // connects behind their back; releasing tells ListOrConnectionChanged.
    void HoldConnects(bool bHold);
    bool AreConnectsHeld() const { return m_bConnectsHeld; }

    // --- What the link shows ---
    // "NOT CONNECTED" or "CONNECTED  -  115200  -  ..." (UpdateStatus makes it).
    const QString& Status() const { return m_strStatus; }
    // The way out of the access hint in full; empty when there is none.
    const QString& StatusDetail() const { return m_strStatusDetail; }
    // The status and its detail as the user reads them, in the language of
    // the menus; Status() stays English for the venue's reports.
    QString ShownStatus() const;
    QString ShownStatusDetail() const;
    void UpdateStatus();
    // The connected status text from the adapter's settings (null: unread).
    static QString ConnectedStatusText(const UartConfig* pConfig);

    // --- The board's text and what it means ---
    // One read's text from the receive thread, on the UI thread: form feeds
    // and carriage returns handled, the log told, then the lines interpreted.
    void ProcessChunk(std::wstring_view chunk);
    CGameEvents& GameEvents() { return m_gameEvents; }
    CGameMessageInterpreter& Interpreter() { return m_interpreter; }
    const std::shared_ptr<CReceiveThread>& ReceiveThread() const { return m_session.ReceiveThread(); }

    // --- Timer 85 ---
    void OnTimer(int nIdEvent);
    bool IsPollTimerActive() const { return m_timerPoll.isActive(); }

    // The program's end, while everything still listens: no more device
    // notifications or polls, and an open adapter is let go for the reason
    // "closing" (told like any disconnect). Later calls do nothing more.
    void EndForExit();
    // The last of the link: device watch, poll and connection end, and the
    // game in progress is closed; no signal but the game events. Idempotent.
    void Close();

    // For the device tests that drive the adapter beside the link.
    CDravik& Adapter() { return m_dravik; }
    const CAdapterSession& Session() const { return m_session; }

signals:
    // The list has been read again.
    void ListChanged();
    // Status() or StatusDetail() has changed.
    void StatusChanged();
    // After each connect (true) and each disconnect (false), once the status
    // is up to date.
    void ConnectionChanged(bool bConnected);
    // An open connection ended, and why.
    void Disconnected(DisconnectReason nReason);
    // The log's part of a chunk: LogCleared for a form feed, then the text.
    void LogCleared();
    void TextReceived(const QString& strText);
    // A connect has flushed the adapter's stale input (the log is emptied
    // then), and the connect attempt is over (the log gets its text back).
    void InputFlushed();
    void ConnectAttemptEnded();
    // The list was read or a connection ended, or a hold was released:
    // automatic connection looks again.
    void ListOrConnectionChanged();

private:
    // The poll found the adapter gone (or a read failed and it then did).
    void OnAdapterLost();
    void SetStatus(const QString& strStatus, const QString& strDetail);

    // The adapter first, so it outlives everything that talks to it.
    CDravik m_dravik;
    CAdapterSession m_session;
    CGameEvents m_gameEvents;
    CGameMessageInterpreter m_interpreter;
    // The interpreter's board while a chunk is processed (see ChunkBoard.h).
    CChunkBoard m_chunkBoard;
    IQuadoBoard* m_pChunkBoard = &m_chunkBoard;
    std::unique_ptr<CDeviceNotification> m_hDevNotify;
    QTimer m_timerPoll;
    std::function<void(bool)> m_indicateWait;

    // The adapters as listed, entry for entry: what a connect must find.
    std::vector<CHIDDevice::AdapterIdentity> m_vecListed;
    CHIDDevice::AdapterIdentity m_connected;
    // Adapters refused for lack of permission at the last list refresh; a
    // rise means one arrived, and the status says so until the refused
    // adapters are gone or a connection succeeds.
    uint32_t m_nDeniedAdapters = 0;
    bool m_bAccessHint = false;
    bool m_bListDenied = false;
    // A refresh while connected cannot list the adapter held.
    bool m_bListMissesHeldAdapter = false;
    uint32_t m_nAccessHintsRaised = 0;
    bool m_bDeviceWatchStarted = false;
    bool m_bConnectsHeld = false;
    bool m_bClosed = false;

    QString m_strStatus;
    QString m_strStatusDetail;
    QString m_strLastFailure;
    ConnectResult m_nLastResult = ConnectResult::Connected;
};
