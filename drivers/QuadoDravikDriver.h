// The adapter driver window: a view of the adapter link (AdapterLink.h), which
// it owns. Its list, buttons, status line and log call and follow the link:
// the adapters by serial number, connect and disconnect, the board's text in
// a log, the adapter's UART settings in a status line. The main frame owns
// it, shows and hides it, and gives it its links.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "drivers/AdapterLink.h"
#include "drivers/LogView.h"

class IMainFrame;
class IQuadoBoard;
class ISoundPlayer;

class CQuadoDravikDriver : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* Caption = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "QUADO Dravik Driver");
    // Button 1014's two captions.
    static constexpr const char* ConnectCaption = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "Connect");
    static constexpr const char* DisconnectCaption = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "Disconnect");
    static constexpr int PollTimerId = CAdapterLink::PollTimerId;
    static constexpr int PollPeriodMs = CAdapterLink::PollPeriodMs;
    // The log keeps at least this many of the most recent characters; older
    // ones are dropped in batches of LogTrimSlack so appending stays cheap.
    static constexpr int MaxLogChars = 1 << 20;
    static constexpr int LogTrimSlack = 64 * 1024;
    static constexpr std::string_view AdapterInterfacePrefix = CAdapterLink::AdapterInterfacePrefix;

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

    // The link this window shows; everyone else holds it, not the window.
    CAdapterLink& Link() { return m_link; }

    void ToggleConnection();
    // The program's end, while everything still listens: no more device
    // notifications or polls, and an open adapter is let go for the reason
    // "closing" (a game in progress ends abandoned). Later calls do nothing.
    void EndForExit() { m_link.EndForExit(); }
    void RefreshDeviceList() { m_link.RefreshAdapters(); }
    void UpdateStatusLine();
    bool RegisterDeviceNotifications() { return m_link.RegisterDeviceNotifications(); }
    void StartDeviceWatch() { m_link.StartDeviceWatch(); }
    bool IsDeviceWatchStarted() const { return m_link.IsDeviceWatchStarted(); }
    bool OnDeviceChange(uint32_t nEvent, uint32_t nDeviceType, std::wstring_view strInterfaceName)
    {
        return m_link.OnDeviceChange(nEvent, nDeviceType, strInterfaceName);
    }
    void OnTimer(int nIdEvent) { m_link.OnTimer(nIdEvent); }
    // Clear Data: empties the log only.
    void OnClearData();
    // The log as the user reads it (line feeds between lines).
    const QString& LogText() const { return m_reLog.Text(); }
    // One read's text, on this window's thread: the log, then the interpreter.
    void ProcessChunk(std::wstring_view chunk) { m_link.ProcessChunk(chunk); }

    // Hide, Escape and the close box: the frame's Show toggle, never a disconnect.
    void reject() override;

signals:
    // The status line's text has changed.
    void StatusLineChanged();

public:
    static bool IsAdapterInterfaceName(std::wstring_view strInterfaceName)
    {
        return CAdapterLink::IsAdapterInterfaceName(strInterfaceName);
    }
    static QString ConnectedStatusText(const UartConfig* pConfig) { return CAdapterLink::ConnectedStatusText(pConfig); }

    bool IsConnected() { return m_link.IsConnected(); }
    CGameMessageInterpreter& Interpreter() { return m_link.Interpreter(); }
    CGameEvents& GameEvents() { return m_link.GameEvents(); }
    // While an error box is up: nothing may connect behind the user's back.
    bool IsShowingError() const { return m_link.AreConnectsHeld(); }
    const std::shared_ptr<CReceiveThread>& ReceiveThread() const { return m_link.ReceiveThread(); }
    bool IsPollTimerActive() const { return m_link.IsPollTimerActive(); }
    bool IsAccessHintShown() const { return m_link.IsAccessHintShown(); }
    uint32_t GetAccessHintsRaised() const { return m_link.GetAccessHintsRaised(); }
    std::vector<QString> ListedSerials() const { return m_link.ListedSerials(); }
    // Selects that list entry and connects it, a failure on the status line.
    bool ConnectQuietly(int nIndex);

    // Members in the order the window's parts depend on one another: the
    // link first, so it outlives the widgets that show it.
    CAdapterLink m_link{[this](uint32_t nSize) { return AllocateReceiveBuffer(nSize); }};
    IMainFrame* m_pMainFrame = nullptr;
    IQuadoBoard** m_ppView = nullptr;
    const bool* m_pbMute = nullptr;

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
    void changeEvent(QEvent* pEvent) override;
    // The receive buffer the connect allocates; null when it cannot be had.
    virtual uint8_t* AllocateReceiveBuffer(uint32_t nSize);

private:
    void LayOut();
    // The window's words in the language of the menus.
    void RetranslateUi();
    void Connect();
    void ShowError(const char* pszText);
    void AppendToLog(const QString& strText);
    // The link's news, shown.
    void ShowList();
    void ShowStatus();
    void ShowConnection(bool bConnected);

    // The log's text while a connect flushes the adapter's stale input.
    QString m_strLogBeforeFlush;
    bool m_bLogFlushed = false;
};
