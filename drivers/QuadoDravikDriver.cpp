#include "drivers/QuadoDravikDriver.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QMetaObject>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocument>

#include <chrono>
#include <new>
#include <string>
#include <thread>

#include "board/IMainFrame.h"
#include "drivers/ReceiveThread.h"
#include "platform/DialogUnits.h"
#include "platform/MessageBox.h"

namespace {

// Template 158, in dialog units: the window, then each control's x, y, w, h.
constexpr int DialogWidth = 186;
constexpr int DialogHeight = 365;
constexpr int HideRect[] = {119, 344, 50, 14};
constexpr int SelectGroupRect[] = {7, 7, 172, 65};
constexpr int DeviceListRect[] = {32, 24, 122, 30};
constexpr int ConnectRect[] = {59, 46, 68, 14};
constexpr int LogRect[] = {7, 88, 172, 230};
constexpr int ReceivedLabelRect[] = {7, 76, 50, 8};
constexpr int StatusRect[] = {7, 319, 172, 19};
constexpr int ClearRect[] = {17, 344, 50, 14};

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
constexpr char ConnectedText[] = "CONNECTED  -  ";
constexpr char SettingsErrorText[] = "<UART Settings Err> - ";
constexpr const char* ParityTexts[] = {"No Parity  -  ", "Even Parity  -  ", "Odd Parity  -  ",
                                       "Mark Parity  -  ", "Space Parity  -  "};
constexpr char ParityErrorText[] = "<Parity Err>  -  ";
constexpr const char* FlowControlTexts[] = {"No Flow Control  -  ", "RTS / CTS Flow Control  -  "};
constexpr char FlowControlErrorText[] = "<Flow Control Err>  -  ";
constexpr char OneStopBitText[] = "1 Stop Bit";
constexpr char OneAndHalfStopBitsText[] = "1.5 Stop Bits";
constexpr char TwoStopBitsText[] = "2 Stop Bits";
constexpr char StopBitErrorText[] = "<Stop Bit Err>";

constexpr uint8_t FlowControlRtsCts = 1;
constexpr uint8_t FlowControlNone = 0;

static_assert(CQuadoDravikDriver::AdapterInterfacePrefix.size() == 25);

QRect DialogRect(const CDialogUnits& units, const int (&rect)[4])
{
    return units.Rect(rect[0], rect[1], rect[2], rect[3]);
}

void Pause(int nMilliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds));
}

// The wait cursor for the whole of a connect or disconnect.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace

CQuadoDravikDriver::CQuadoDravikDriver()
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

    RegisterDeviceNotifications();
    RefreshDeviceList();
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
    StopReceiveThread();
    CloseAdapter();
    ReleaseReceiveBuffer();
}

void CQuadoDravikDriver::LayOut()
{
    const CDialogUnits units(font());
    setFixedSize(units.Size(DialogWidth, DialogHeight));

    // Template order is tab order.
    QWidget* const controls[] = {&m_btnHide, &m_grpSelect, &m_cbDevices, &m_btnConnect,
                                 &m_reLog,   &m_stReceived, &m_stStatus,  &m_btnClear};
    for (QWidget* pControl : controls)
        pControl->setParent(this);

    m_btnHide.setGeometry(DialogRect(units, HideRect));
    m_grpSelect.setGeometry(DialogRect(units, SelectGroupRect));

    // The template's height includes the dropped-down list; the closed box
    // is as high as its edit field.
    m_cbDevices.setEditable(true);
    m_cbDevices.setInsertPolicy(QComboBox::NoInsert);
    const QRect rcList = DialogRect(units, DeviceListRect);
    m_cbDevices.setGeometry(rcList.left(), rcList.top(), rcList.width(), m_cbDevices.sizeHint().height());

    m_btnConnect.setGeometry(DialogRect(units, ConnectRect));

    m_reLog.setReadOnly(true);
    m_reLog.setUndoRedoEnabled(false);
    m_reLog.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_reLog.setGeometry(DialogRect(units, LogRect));

    const QRect rcLabel = DialogRect(units, ReceivedLabelRect);
    m_stReceived.setGeometry(rcLabel.left(), rcLabel.top(),
                             std::max(rcLabel.width(), m_stReceived.sizeHint().width()), rcLabel.height());
    m_stReceived.setTextFormat(Qt::PlainText);

    m_stStatus.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_stStatus.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_stStatus.setTextFormat(Qt::PlainText);
    m_stStatus.setWordWrap(true);
    m_stStatus.setGeometry(DialogRect(units, StatusRect));

    m_btnClear.setGeometry(DialogRect(units, ClearRect));

    setTabOrder(&m_btnHide, &m_cbDevices);
    setTabOrder(&m_cbDevices, &m_btnConnect);
    setTabOrder(&m_btnConnect, &m_reLog);
    setTabOrder(&m_reLog, &m_btnClear);
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
}

QString CQuadoDravikDriver::ConnectedStatusText(const UartConfig* pConfig)
{
    QString strStatus = QString::fromLatin1(ConnectedText);
    if (!pConfig)
        return strStatus + QString::fromLatin1(SettingsErrorText);

    // As the original "%d" formats it: the 32-bit value read as signed.
    strStatus += QString::number(static_cast<int32_t>(pConfig->BaudRate)) + QString::fromLatin1("  -  ");
    strStatus += QString::fromLatin1(pConfig->Parity < std::size(ParityTexts) ? ParityTexts[pConfig->Parity]
                                                                              : ParityErrorText);
    strStatus += QString::fromLatin1(pConfig->FlowControl < std::size(FlowControlTexts)
                                         ? FlowControlTexts[pConfig->FlowControl]
                                         : FlowControlErrorText);
    strStatus += QString::number(pConfig->DataBits) + QString::fromLatin1(" Data Bits  -  ");
    const char* pszStopBits = StopBitErrorText;
    if (pConfig->StopBits == 0)
        pszStopBits = OneStopBitText;
    else if (pConfig->StopBits == 1)
        pszStopBits = pConfig->DataBits == 5 ? OneAndHalfStopBitsText : TwoStopBitsText;
    return strStatus + QString::fromLatin1(pszStopBits);
}

void CQuadoDravikDriver::UpdateStatusLine()
{
    const bool bHint = m_bAccessHint && !IsConnected();
    if (!IsConnected()) {
        m_strStatus = QString::fromLatin1(bHint ? NoAccessStatusText : NotConnectedText);
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
    QuadoMessageBox(this, QString::fromLatin1(pszText), QString::fromLatin1(ErrorCaption), MessageIcon::Stop);
}

uint8_t* CQuadoDravikDriver::AllocateReceiveBuffer(uint32_t nSize)
{
    return new (std::nothrow) uint8_t[nSize];
}

void CQuadoDravikDriver::Connect()
{
    m_bUartSavedValid = false;
    const int nSelected = m_cbDevices.currentIndex();
    if (m_cbDevices.count() == 0 || nSelected < 0) {
        ShowError(NoDeviceSelectedText);
        Disconnect();
        return;
    }
    if (m_dravik.Connect(static_cast<uint32_t>(nSelected)) != DeviceSuccess) {
        ShowError(ConnectErrorText);
        Disconnect();
        return;
    }

    // The raw text: plain text would turn the no-break spaces the board
    // sent into spaces.
    const QString strSavedLog = m_reLog.document()->toRawText();

    UartConfig uartFound = {};
    if (m_dravik.GetUartConfig(&uartFound) == DeviceSuccess) {
        m_uartSaved = uartFound;
        m_bUartSavedValid = true;
    }
    // The board's link has no flow control lines: run without, and keep what
    // was found for the disconnect to restore.
    if (m_bUartSavedValid && m_uartSaved.FlowControl == FlowControlRtsCts) {
        m_uartSaved.FlowControl = FlowControlNone;
        m_dravik.SetUartConfig(&m_uartSaved);
        m_uartSaved.FlowControl = FlowControlRtsCts;
    }
    if (m_dravik.EnableUart() != DeviceSuccess) {
        ShowError(EnableUartErrorText);
        Disconnect();
        return;
    }

    Pause(AdapterSettleMs);
    m_dravik.SendFeature4B(Feature4BFirst);
    Pause(AdapterSettleMs);
    m_dravik.GetDevice().FlushInputQueue();
    m_reLog.clear();
    m_dravik.SendFeature4B(Feature4BSecond);
    m_reLog.setPlainText(strSavedLog);

    const uint32_t nCapacity = m_dravik.ReceiveCapacity();
    ReceiveBuffer = AllocateReceiveBuffer(nCapacity);
    if (!ReceiveBuffer) {
        ReceiveBufferSize = 0;
        ShowError(AllocateErrorText);
        Disconnect();
        return;
    }
    ReceiveBufferSize = nCapacity;

    m_hReceiveThread = CReceiveThread::Create(
        m_dravik,
        [this](std::function<void()> task) { QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection); },
        [this](std::wstring_view chunk) { ProcessChunk(chunk); });
    m_hReceiveThread->Start();
    m_timerPoll.start();

    m_dravik.SendFeature49(m_feature49.data());
    m_dravik.SetUartConfig(&m_uartDefault);

    m_cbDevices.setEnabled(false);
    m_btnConnect.setText(QString::fromLatin1(DisconnectText));
    // A working connection answers the access hint; a later refused arrival
    // raises it anew.
    m_bAccessHint = false;
    UpdateStatusLine();

    if (m_pMainFrame)
        m_pMainFrame->OnDravikConnectionChanged(true);
}

void CQuadoDravikDriver::Disconnect()
{
    StopReceiveThread();
    m_timerPoll.stop();
    ReleaseReceiveBuffer();
    CloseAdapter();

    m_cbDevices.setEnabled(true);
    m_btnConnect.setText(QString::fromLatin1(ConnectText));
    // Otherwise the adapter just let go would stay off the list until the
    // next plug event, and Connect would say "No device selected".
    if (m_bListMissesHeldAdapter)
        RefreshDeviceList();
    UpdateStatusLine();
    if (m_pMainFrame)
        m_pMainFrame->OnDravikConnectionChanged(false);
}

void CQuadoDravikDriver::StopReceiveThread()
{
    if (!m_hReceiveThread)
        return;
    m_hReceiveThread->Stop();
    m_hReceiveThread.reset();
}

void CQuadoDravikDriver::ReleaseReceiveBuffer()
{
    if (!ReceiveBuffer)
        return;
    delete[] ReceiveBuffer;
    ReceiveBuffer = nullptr;
    ReceiveBufferSize = 0;
}

void CQuadoDravikDriver::CloseAdapter()
{
    if (!IsConnected())
        return;
    m_dravik.DisableUart();
    // Only settings this attempt found go back; an attempt that failed before
    // fetching them would otherwise write an older adapter's, or none at all.
    if (m_bUartSavedValid)
        m_dravik.SetUartConfig(&m_uartSaved);
    m_dravik.Disconnect();
    m_bUartSavedValid = false;
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
    m_reLog.clear();
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

void CQuadoDravikDriver::ProcessChunk(std::wstring_view chunk)
{
    // Nothing after a zero byte counts, not even a form feed.
    chunk = chunk.substr(0, chunk.find(L'\0'));
    if (const size_t nLastFormFeed = chunk.rfind(L'\f'); nLastFormFeed != std::wstring_view::npos) {
        m_reLog.clear();
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
    QTextDocument* pDocument = m_reLog.document();
    // Always at the end, however long the log has grown.
    QTextCursor cursor(pDocument);
    cursor.movePosition(QTextCursor::End);
    if (!strText.isEmpty())
        cursor.insertText(strText);

    // The document counts one more than its characters (the final block end).
    const int nChars = pDocument->characterCount() - 1;
    if (nChars > MaxLogChars + LogTrimSlack) {
        cursor.setPosition(0);
        cursor.setPosition(nChars - MaxLogChars, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    m_reLog.moveCursor(QTextCursor::End);
    m_reLog.ensureCursorVisible();
}
