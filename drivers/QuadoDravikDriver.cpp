#include "drivers/QuadoDravikDriver.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

#include <string>

#include "board/IMainFrame.h"

namespace {

constexpr char HideText[] = "Hide";
constexpr char SelectGroupText[] = "Dravik Select";
constexpr char ReceivedLabelText[] = "Received Data:";
constexpr char ClearText[] = "Clear Data";
// Shown in the list for an adapter whose serial number cannot be read.
constexpr char UnreadableSerialText[] = "<no serial number>";
// Shown in an empty list when adapters are present but may not be opened.
constexpr char NoAccessHint[] = "Adapter present, no access (udev rule?)";
static_assert(CQuadoDravikDriver::AdapterInterfacePrefix.size() == 25);

} // namespace

CQuadoDravikDriver::CQuadoDravikDriver(DeviceWatch nWatch)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_btnHide(QString::fromLatin1(HideText))
    , m_grpSelect(QString::fromLatin1(SelectGroupText))
    , m_btnConnect(QString::fromLatin1(ConnectCaption))
    , m_stReceived(QString::fromLatin1(ReceivedLabelText))
    , m_btnClear(QString::fromLatin1(ClearText))
{
    setWindowTitle(QString::fromLatin1(Caption));
    LayOut();

    connect(&m_btnHide, &QPushButton::clicked, this, &CQuadoDravikDriver::reject);
    connect(&m_btnConnect, &QPushButton::clicked, this, &CQuadoDravikDriver::ToggleConnection);
    connect(&m_btnClear, &QPushButton::clicked, this, &CQuadoDravikDriver::OnClearData);
    m_timerPoll.setInterval(PollPeriodMs);
    connect(&m_timerPoll, &QTimer::timeout, this, [this] { OnTimer(PollTimerId); });
    // A failed read is checked at once, as the poll would check it.
    m_session.SetReadFailureHandler([this] { OnTimer(PollTimerId); });
    m_interpreter.SetEvents(&m_gameEvents);

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
    m_gameEvents.OnDisconnected(DisconnectReason::Closing);
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
    const bool bConnected = IsConnected();
    m_bListMissesHeldAdapter = bConnected;
    m_vecListed = CHIDDevice::ListAdapters();
    const uint32_t nCount = static_cast<uint32_t>(m_vecListed.size());
    // The adapter held cannot be listed by any walk; the greyed list goes
    // on showing it rather than another one.
    if (bConnected)
        m_vecListed.insert(m_vecListed.begin(), m_connected);
    m_cbDevices.clear();
    for (const CHIDDevice::AdapterIdentity& adapter : m_vecListed) {
        m_cbDevices.addItem(adapter.bSerialRead ? QString::fromLatin1(adapter.strSerial.c_str())
                                                : QString::fromLatin1(UnreadableSerialText));
    }
    if (!m_vecListed.empty())
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
