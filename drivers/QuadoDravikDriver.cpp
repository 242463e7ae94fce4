#include "drivers/QuadoDravikDriver.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QScreen>

#include <new>
#include <string>

#include "board/IMainFrame.h"
#include "drivers/UartStatusText.h"
#include "platform/MessageBox.h"

namespace {

constexpr char HideText[] = "Hide";
constexpr char SelectGroupText[] = "Dravik Select";
constexpr char ConnectText[] = "Connect";
constexpr char DisconnectText[] = "Disconnect";
constexpr char ReceivedLabelText[] = "Received Data:";
constexpr char ClearText[] = "Clear Data";
// Shown in the list for an adapter whose serial number cannot be read.
constexpr char UnreadableSerialText[] = "<no serial number>";
// Shown in an empty list when adapters are present but may not be opened.
constexpr char NoAccessHint[] = "Adapter present, no access (udev rule?)";
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

constexpr char NotConnectedText[] = "NOT CONNECTED";

static_assert(CQuadoDravikDriver::AdapterInterfacePrefix.size() == 25);

// The wait cursor for the whole of a connect or disconnect.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace

CQuadoDravikDriver::CQuadoDravikDriver(DeviceWatch nWatch)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_btnHide(QString::fromLatin1(HideText))
    , m_grpSelect(QString::fromLatin1(SelectGroupText))
    , m_btnConnect(QString::fromLatin1(ConnectText))
    , m_stReceived(QString::fromLatin1(ReceivedLabelText))
    , m_btnClear(QString::fromLatin1(ClearText))
    , m_strStatus(QString::fromLatin1(NotConnectedText))
{
    setWindowTitle(QString::fromLatin1(Caption));
    LayOut();

    connect(&m_btnHide, &QPushButton::clicked, this, &CQuadoDravikDriver::reject);
    connect(&m_btnConnect, &QPushButton::clicked, this, &CQuadoDravikDriver::ToggleConnection);
    connect(&m_btnClear, &QPushButton::clicked, this, &CQuadoDravikDriver::OnClearData);
    m_timerPoll.setInterval(PollPeriodMs);
    connect(&m_timerPoll, &QTimer::timeout, this, [this] { OnTimer(PollTimerId); });

    if (nWatch == DeviceWatch::AtOnce)
        StartDeviceWatch();
    UpdateStatusLine();

    // Placed once, while still hidden; later shows keep the place (and any
    // place the user dragged it to).
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        const QRect rcWork = pScreen->availableGeometry();
        move(rcWork.left() + (rcWork.width() - width()) / 2, rcWork.top() + (rcWork.height() - height()) / 2);
    }
}

CQuadoDravikDriver::~CQuadoDravikDriver()
{
    // The end of the program ends an open connection cleanly: the thread
    // first, then the adapter's UART and settings, then the buffer.
    m_hDevNotify.reset();
    m_timerPoll.stop();
    m_session.Disconnect();
}

void CQuadoDravikDriver::SetLinks(IMainFrame* pMainFrame, IQuadoBoard** ppView, const bool* pbMute,
                                  ISoundPlayer* pSoundPlayer)
{
    m_pMainFrame = pMainFrame;
    m_ppView = ppView;
    m_pbMute = pbMute;
    m_chunkBoard.SetTarget(ppView);
    m_interpreter.SetLinks(&m_pChunkBoard, pbMute, pSoundPlayer);
}

void CQuadoDravikDriver::StartDeviceWatch()
{
    if (m_bDeviceWatchStarted)
        return;
    m_bDeviceWatchStarted = true;
    // Registered first: an adapter plugged in meanwhile is either listed or
    // announced.
    RegisterDeviceNotifications();
    RefreshDeviceList();
}

bool CQuadoDravikDriver::RegisterDeviceNotifications()
{
    m_hDevNotify = RegisterDeviceNotification([this](const DeviceChange& change) {
        OnDeviceChange(change.nEvent, change.nDeviceType, change.strInterfaceName);
    });
    return m_hDevNotify != nullptr;
}

bool CQuadoDravikDriver::IsAdapterInterfaceName(std::wstring_view strInterfaceName)
{
    if (strInterfaceName.size() < AdapterInterfacePrefix.size())
        return false;
    for (size_t i = 0; i < AdapterInterfacePrefix.size(); ++i) {
        if (static_cast<char>(strInterfaceName[i] & 0xFF) != AdapterInterfacePrefix[i])
            return false;
    }
    return true;
}

bool CQuadoDravikDriver::OnDeviceChange(uint32_t nEvent, uint32_t nDeviceType, std::wstring_view strInterfaceName)
{
    // A removed connected adapter is not disconnected here; the poll does it.
    if ((nEvent == DeviceChangeEvent::DeviceArrival || nEvent == DeviceChangeEvent::DeviceRemoveComplete) &&
        nDeviceType == DeviceChangeEvent::DeviceTypeInterface && IsAdapterInterfaceName(strInterfaceName))
        RefreshDeviceList();
    return true;
}

void CQuadoDravikDriver::RefreshDeviceList()
{
    m_bListMissesHeldAdapter = IsConnected();
    const uint32_t nCount = CHIDDevice::GetDeviceCount();
    m_cbDevices.clear();
    for (uint32_t i = 0; i < nCount; ++i) {
        char szSerial[CHIDDevice::SerialNumberSize] = {};
        if (CHIDDevice::GetSerialNumber(i, szSerial) == DeviceSuccess)
            m_cbDevices.addItem(QString::fromLatin1(szSerial));
        else
            m_cbDevices.addItem(QString::fromLatin1(UnreadableSerialText));
    }
    if (nCount > 0)
        m_cbDevices.setCurrentIndex(0);

    // Present adapters missing from the list are held by another program or
    // refused to this user. Only a refusal is for the user to fix; it is told
    // once per arrival, not again at every refresh while it lasts.
    const uint32_t nDenied =
        CHIDDevice::GetPresentAdapterCount() > nCount ? CHIDDevice::GetDeniedDeviceCount() : 0;
    const bool bHintBefore = m_bAccessHint;
    if (nDenied > m_nDeniedAdapters) {
        m_bAccessHint = true;
        ++m_nAccessHintsRaised;
    } else if (nDenied == 0) {
        m_bAccessHint = false;
    }
    m_nDeniedAdapters = nDenied;

    // An empty list says why when the reason is one the user can fix.
    const bool bDenied = nCount == 0 && nDenied > 0;
    m_cbDevices.lineEdit()->setPlaceholderText(bDenied ? QString::fromLatin1(NoAccessHint) : QString());
    // While connected the status line shows the adapter; no feature transfer
    // is made for a list refresh.
    if (m_bAccessHint != bHintBefore && !IsConnected())
        UpdateStatusLine();
    if (m_onListOrConnectionChanged)
        m_onListOrConnectionChanged();
}

std::vector<QString> CQuadoDravikDriver::ListedSerials() const
{
    std::vector<QString> serials;
    for (int i = 0; i < m_cbDevices.count(); ++i)
        serials.push_back(m_cbDevices.itemText(i));
    return serials;
}

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
    m_stStatus.setText(m_strStatus);
    m_stStatus.setToolTip(bHint ? QString::fromLatin1(NoAccessDetailText) : QString());
}

void CQuadoDravikDriver::ToggleConnection()
{
    const CWaitCursor waitCursor;
    if (IsConnected())
        Disconnect();
    else
        Connect();
}

void CQuadoDravikDriver::ShowError(const char* pszText)
{
    if (m_bQuietErrors) {
        // Nobody may be there to click a box away.
        m_strLastFailure = QString::fromLatin1(pszText);
        return;
    }
    QuadoMessageBox(this, QString::fromLatin1(pszText), QString::fromLatin1(ErrorCaption), MessageIcon::Stop);
}

uint8_t* CQuadoDravikDriver::AllocateReceiveBuffer(uint32_t nSize)
{
    return new (std::nothrow) uint8_t[nSize];
}

void CQuadoDravikDriver::Connect()
{
    const int nSelected = m_cbDevices.currentIndex();
    if (m_cbDevices.count() == 0 || nSelected < 0) {
        ShowError(NoDeviceSelectedText);
        Disconnect();
        return;
    }

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
        });
    if (bLogCleared)
        m_reLog.SetText(strSavedLog);

    const char* pszError = nullptr;
    switch (result) {
    case CAdapterSession::ConnectResult::OpenFailed:
        pszError = ConnectErrorText;
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
        ShowError(pszError);
        Disconnect();
        return;
    }
    m_timerPoll.start();

    m_cbDevices.setEnabled(false);
    m_btnConnect.setText(QString::fromLatin1(DisconnectText));
    // A working connection answers the access hint; a later refused arrival
    // raises it anew.
    m_bAccessHint = false;
    m_strLastFailure.clear();
    UpdateStatusLine();

    if (m_pMainFrame)
        m_pMainFrame->OnDravikConnectionChanged(true);
}

void CQuadoDravikDriver::Disconnect()
{
    m_timerPoll.stop();
    m_session.Disconnect();
    // Nothing would ever stop a colour tone the board started and can no
    // longer end; the board picture stays as it was.
    m_interpreter.StopTone();

    m_cbDevices.setEnabled(true);
    m_btnConnect.setText(QString::fromLatin1(ConnectText));
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
        ToggleConnection();
}

void CQuadoDravikDriver::OnClearData()
{
    m_reLog.Clear();
}

void CQuadoDravikDriver::reject()
{
    if (!m_pMainFrame) {
        hide();
        return;
    }
    m_pMainFrame->ToggleDravikDriver();
    m_pMainFrame->UpdateCommandUI();
}

void CQuadoDravikDriver::keyPressEvent(QKeyEvent* pEvent)
{
    const bool bEnter = pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter;
    QWidget* pFocus = focusWidget();
    if (bEnter && pFocus && (pFocus == &m_cbDevices || m_cbDevices.isAncestorOf(pFocus))) {
        pEvent->accept();
        m_btnConnect.click();
        // Connecting greys the list out: the focus stays with the button, so
        // the next Enter disconnects instead of reaching the Hide button.
        if (!m_cbDevices.isEnabled())
            m_btnConnect.setFocus();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CQuadoDravikDriver::ProcessChunk(std::wstring_view chunk)
{
    // Nothing after a zero byte counts, not even a form feed.
    chunk = chunk.substr(0, chunk.find(L'\0'));
    if (const size_t nLastFormFeed = chunk.rfind(L'\f'); nLastFormFeed != std::wstring_view::npos) {
        m_reLog.Clear();
        chunk.remove_prefix(nLastFormFeed + 1);
    }
    std::wstring strText;
    strText.reserve(chunk.size());
    for (const wchar_t c : chunk) {
        if (c != L'\r')
            strText.push_back(c);
    }
    AppendToLog(QString::fromStdWString(strText));
    m_interpreter.AssembleLines(strText);
    m_chunkBoard.Flush();
}

void CQuadoDravikDriver::AppendToLog(const QString& strText)
{
    // The view lays out and scrolls when it next paints, so a burst of
    // chunks costs one layout, not one each.
    m_reLog.Append(strText);
    if (m_reLog.Text().size() > MaxLogChars + LogTrimSlack)
        m_reLog.KeepLast(MaxLogChars);
}
