// The adapter window's connection: the connect and disconnect sequences as the
// user (or automatic connection) drives them, the poll that notices a lost
// adapter, and the status line that shows the link.
#include "drivers/QuadoDravikDriver.h"

#include <QGuiApplication>
#include <QMetaObject>

#include <new>

#include "board/IMainFrame.h"
#include "drivers/UartStatusText.h"
#include "platform/MessageBox.h"

namespace {

// The status line while disconnected after such an adapter arrived, and the
// way out in full on its tool tip.
constexpr char NoAccessStatusText[] =
    "NOT CONNECTED  -  Adapter found without access: install Quado's udev rule, then re-plug it";
constexpr char NoAccessDetailText[] =
    "Quado may not read and write the adapter's /dev/hidraw node.\n"
    "Install the quado package, or copy 70-quado-dravik.rules into /etc/udev/rules.d\n"
    "and run: sudo udevadm control --reload-rules\n"
    "Then unplug the adapter and plug it in again.";

constexpr char ErrorCaption[] = "Error";
constexpr char NoDeviceSelectedText[] = "No device selected";
constexpr char ConnectErrorText[] = "Error connecting to device";
constexpr char EnableUartErrorText[] = "Error enabling UART, closing device";
constexpr char AllocateErrorText[] = "Error allocating buffers, closing device";
// The list named another adapter than the one now at that place (it went, or
// another program took it, since the list was read).
constexpr char WrongAdapterText[] = "The adapter list has changed: choose the adapter again";

constexpr char NotConnectedText[] = "NOT CONNECTED";

// The wait cursor for the whole of a connect or disconnect.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace

bool CQuadoDravikDriver::ConnectQuietly(int nIndex)
{
    if (IsConnected())
        return true;
    m_cbDevices.setCurrentIndex(nIndex);
    const bool bQuietBefore = m_bQuietErrors;
    m_bQuietErrors = true;
    ToggleConnection();
    m_bQuietErrors = bQuietBefore;
    return IsConnected();
}

QString CQuadoDravikDriver::ConnectedStatusText(const UartConfig* pConfig)
{
    return QString::fromLatin1(ConnectedUartText(pConfig));
}

void CQuadoDravikDriver::UpdateStatusLine()
{
    const bool bHint = m_bAccessHint && !IsConnected();
    if (!IsConnected()) {
        m_strStatus = QString::fromLatin1(bHint ? NoAccessStatusText : NotConnectedText);
        if (!m_strLastFailure.isEmpty())
            m_strStatus += QString::fromLatin1("  -  ") + m_strLastFailure;
    } else {
        UartConfig config = {};
        m_strStatus = ConnectedStatusText(m_dravik.GetUartConfig(&config) == DeviceSuccess ? &config : nullptr);
    }
    const bool bChanged = m_stStatus.text() != m_strStatus;
    m_stStatus.setText(m_strStatus);
    m_stStatus.setToolTip(bHint ? QString::fromLatin1(NoAccessDetailText) : QString());
    if (bChanged)
        emit StatusLineChanged();
}

void CQuadoDravikDriver::ToggleConnection()
{
    const CWaitCursor waitCursor;
    if (IsConnected())
        Disconnect();
    else
        Connect();
}

// Shown once the failed attempt has let go of everything: the box's event
// loop runs timers and automatic connection, which must find nothing half
// open and must not connect while the box is up.
void CQuadoDravikDriver::ShowError(const char* pszText)
{
    if (m_bQuietErrors) {
        // Nobody may be there to click a box away.
        m_strLastFailure = QString::fromLatin1(pszText);
        UpdateStatusLine();
        return;
    }
    m_bShowingError = true;
    QuadoMessageBox(this, QString::fromLatin1(pszText), QString::fromLatin1(ErrorCaption), MessageIcon::Stop);
    m_bShowingError = false;
    if (m_onListOrConnectionChanged)
        m_onListOrConnectionChanged();
}

uint8_t* CQuadoDravikDriver::AllocateReceiveBuffer(uint32_t nSize)
{
    return new (std::nothrow) uint8_t[nSize];
}

void CQuadoDravikDriver::Connect()
{
    const int nSelected = m_cbDevices.currentIndex();
    if (m_cbDevices.count() == 0 || nSelected < 0 || nSelected >= int(m_vecListed.size())) {
        Disconnect();
        ShowError(NoDeviceSelectedText);
        return;
    }
    const CHIDDevice::AdapterIdentity expected = m_vecListed[size_t(nSelected)];

    // The log is emptied while the adapter's stale input goes, then given
    // back.
    const QString strSavedLog = m_reLog.Text();
    bool bLogCleared = false;
    const CAdapterSession::ConnectResult result = m_session.Connect(
        static_cast<uint32_t>(nSelected),
        [this](std::function<void()> task) { QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection); },
        [this](std::wstring_view chunk) { ProcessChunk(chunk); },
        [this, &bLogCleared] {
            m_reLog.Clear();
            bLogCleared = true;
        },
        &expected);
    if (bLogCleared)
        m_reLog.SetText(strSavedLog);

    const char* pszError = nullptr;
    switch (result) {
    case CAdapterSession::ConnectResult::OpenFailed:
        pszError = ConnectErrorText;
        break;
    case CAdapterSession::ConnectResult::WrongAdapter:
        pszError = WrongAdapterText;
        break;
    case CAdapterSession::ConnectResult::EnableUartFailed:
        pszError = EnableUartErrorText;
        break;
    case CAdapterSession::ConnectResult::AllocateFailed:
        pszError = AllocateErrorText;
        break;
    case CAdapterSession::ConnectResult::Connected:
        break;
    }
    if (pszError) {
        Disconnect();
        if (result == CAdapterSession::ConnectResult::WrongAdapter)
            RefreshDeviceList();
        ShowError(pszError);
        return;
    }
    m_timerPoll.start();
    m_connected = expected;

    m_cbDevices.setEnabled(false);
    m_btnConnect.setText(QString::fromLatin1(DisconnectCaption));
    // A working connection answers the access hint; a later refused arrival
    // raises it anew.
    m_bAccessHint = false;
    m_strLastFailure.clear();
    UpdateStatusLine();

    m_gameEvents.OnConnected(m_connected.strSerial);
    if (m_pMainFrame)
        m_pMainFrame->OnDravikConnectionChanged(true);
}

void CQuadoDravikDriver::Disconnect(DisconnectReason nReason)
{
    m_timerPoll.stop();
    m_session.Disconnect();
    // Nothing would ever stop a colour tone the board started and can no
    // longer end; the board picture stays as it was.
    m_interpreter.StopTone();
    m_gameEvents.OnDisconnected(nReason);

    m_cbDevices.setEnabled(true);
    m_btnConnect.setText(QString::fromLatin1(ConnectCaption));
    // Otherwise the adapter just let go would stay off the list until the
    // next plug event, and Connect would say "No device selected".
    if (m_bListMissesHeldAdapter)
        RefreshDeviceList();
    UpdateStatusLine();
    if (m_pMainFrame)
        m_pMainFrame->OnDravikConnectionChanged(false);
    if (m_onListOrConnectionChanged)
        m_onListOrConnectionChanged();
}

void CQuadoDravikDriver::EndForExit()
{
    m_hDevNotify.reset();
    m_timerPoll.stop();
    if (IsConnected())
        Disconnect(DisconnectReason::Closing);
}

void CQuadoDravikDriver::OnTimer(int nIdEvent)
{
    if (nIdEvent != PollTimerId)
        return;
    if (!IsConnected()) {
        m_timerPoll.stop();
        return;
    }
    uint8_t nReply = 0;
    if (m_dravik.PollAdapter(&nReply) != DeviceSuccess)
        OnAdapterLost();
}

void CQuadoDravikDriver::OnAdapterLost()
{
    const CWaitCursor waitCursor;
    Disconnect(DisconnectReason::AdapterLost);
}

