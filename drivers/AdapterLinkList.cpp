// The link's adapter list and status: the device watch that keeps the list
// current, the hint about adapters this user may not open, and the status
// text that shows the link.
#include "drivers/AdapterLink.h"

#include <QCoreApplication>

#include "drivers/UartStatusText.h"
#include "platform/DeviceNotifier.h"

namespace {

// Shown for an adapter whose serial number cannot be read.
constexpr char UnreadableSerialText[] = QT_TRANSLATE_NOOP("CAdapterLink", "<no serial number>");
constexpr char NotConnectedText[] = QT_TRANSLATE_NOOP("CAdapterLink", "NOT CONNECTED");
// The status while disconnected after such an adapter arrived, and the way
// out in full as its detail.
constexpr char NoAccessStatusText[] =
    "NOT CONNECTED  -  Adapter found without access: install Quado's udev rule, then re-plug it";
constexpr char NoAccessDetailText[] = QT_TRANSLATE_NOOP("CAdapterLink",
    "Quado may not read and write the adapter's /dev/hidraw node.\n"
    "Install the quado package, or copy 70-quado-dravik.rules into /etc/udev/rules.d\n"
    "and run: sudo udevadm control --reload-rules\n"
    "Then unplug the adapter and plug it in again.");
static_assert(CAdapterLink::AdapterInterfacePrefix.size() == 25);

// The words between the status line's separators, for the line as the user
// reads it (ShownStatus); the line itself stays English for the venue.
[[maybe_unused]] constexpr const char* ShownWords[] = {
    QT_TRANSLATE_NOOP("CAdapterLink", "CONNECTED"),
    QT_TRANSLATE_NOOP("CAdapterLink", "<UART Settings Err> - "),
    QT_TRANSLATE_NOOP("CAdapterLink", "No Parity"),
    QT_TRANSLATE_NOOP("CAdapterLink", "Even Parity"),
    QT_TRANSLATE_NOOP("CAdapterLink", "Odd Parity"),
    QT_TRANSLATE_NOOP("CAdapterLink", "Mark Parity"),
    QT_TRANSLATE_NOOP("CAdapterLink", "Space Parity"),
    QT_TRANSLATE_NOOP("CAdapterLink", "<Parity Err>"),
    QT_TRANSLATE_NOOP("CAdapterLink", "No Flow Control"),
    QT_TRANSLATE_NOOP("CAdapterLink", "RTS / CTS Flow Control"),
    QT_TRANSLATE_NOOP("CAdapterLink", "<Flow Control Err>"),
    QT_TRANSLATE_NOOP("CAdapterLink", "1 Stop Bit"),
    QT_TRANSLATE_NOOP("CAdapterLink", "1.5 Stop Bits"),
    QT_TRANSLATE_NOOP("CAdapterLink", "2 Stop Bits"),
    QT_TRANSLATE_NOOP("CAdapterLink", "<Stop Bit Err>"),
    QT_TRANSLATE_NOOP("CAdapterLink", "Adapter found without access: install Quado's udev rule, then re-plug it"),
};
constexpr char StatusSeparator[] = "  -  ";
constexpr char DataBitsSuffix[] = " Data Bits";

// Part by part: numbers stay, "8 Data Bits" is counted, and a part the
// catalogue lacks stays as it is.
QString ShownStatusText(const QString& strStatus)
{
    QStringList parts = strStatus.split(QString::fromLatin1(StatusSeparator));
    for (QString& strPart : parts) {
        if (strPart.endsWith(QLatin1String(DataBitsSuffix))) {
            bool bNumber = false;
            const int nBits = strPart.chopped(int(sizeof DataBitsSuffix - 1)).toInt(&bNumber);
            if (bNumber) {
                strPart = QCoreApplication::translate("CAdapterLink", "%1 Data Bits").arg(nBits);
                continue;
            }
        }
        if (!strPart.isEmpty())
            strPart = QCoreApplication::translate("CAdapterLink", strPart.toUtf8().constData());
    }
    return parts.join(QString::fromLatin1(StatusSeparator));
}

} // namespace

void CAdapterLink::StartDeviceWatch()
{
    if (m_bDeviceWatchStarted)
        return;
    m_bDeviceWatchStarted = true;
    // Registered first: an adapter plugged in meanwhile is either listed or
    // announced.
    RegisterDeviceNotifications();
    RefreshAdapters();
}

bool CAdapterLink::RegisterDeviceNotifications()
{
    m_hDevNotify = RegisterDeviceNotification([this](const DeviceChange& change) {
        OnDeviceChange(change.nEvent, change.nDeviceType, change.strInterfaceName);
    });
    return m_hDevNotify != nullptr;
}

bool CAdapterLink::IsAdapterInterfaceName(std::wstring_view strInterfaceName)
{
    if (strInterfaceName.size() < AdapterInterfacePrefix.size())
        return false;
    for (size_t i = 0; i < AdapterInterfacePrefix.size(); ++i) {
        if (static_cast<char>(strInterfaceName[i] & 0xFF) != AdapterInterfacePrefix[i])
            return false;
    }
    return true;
}

bool CAdapterLink::OnDeviceChange(uint32_t nEvent, uint32_t nDeviceType, std::wstring_view strInterfaceName)
{
    // A removed connected adapter is not disconnected here; the poll does it.
    if ((nEvent == DeviceChangeEvent::DeviceArrival || nEvent == DeviceChangeEvent::DeviceRemoveComplete) &&
        nDeviceType == DeviceChangeEvent::DeviceTypeInterface && IsAdapterInterfaceName(strInterfaceName))
        RefreshAdapters();
    return true;
}

QString CAdapterLink::DisplayName(const CHIDDevice::AdapterIdentity& adapter)
{
    return adapter.bSerialRead ? QString::fromLatin1(adapter.strSerial.c_str())
                               : QString::fromLatin1(UnreadableSerialText);
}

std::vector<QString> CAdapterLink::ListedSerials() const
{
    std::vector<QString> serials;
    serials.reserve(m_vecListed.size());
    for (const CHIDDevice::AdapterIdentity& adapter : m_vecListed)
        serials.push_back(DisplayName(adapter));
    return serials;
}

void CAdapterLink::RefreshAdapters()
{
    const bool bConnected = IsConnected();
    m_bListMissesHeldAdapter = bConnected;
    m_vecListed = CHIDDevice::ListAdapters();
    const uint32_t nCount = static_cast<uint32_t>(m_vecListed.size());
    // The adapter held cannot be listed by any walk; the list goes on showing
    // it rather than another one.
    if (bConnected)
        m_vecListed.insert(m_vecListed.begin(), m_connected);

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
    m_bListDenied = nCount == 0 && nDenied > 0;
    emit ListChanged();

    // While connected the status shows the adapter; no feature transfer is
    // made for a list refresh.
    if (m_bAccessHint != bHintBefore && !IsConnected())
        UpdateStatus();
    emit ListOrConnectionChanged();
}

QString CAdapterLink::ConnectedStatusText(const UartConfig* pConfig)
{
    return QString::fromLatin1(ConnectedUartText(pConfig));
}

void CAdapterLink::UpdateStatus()
{
    if (!IsConnected()) {
        const bool bHint = m_bAccessHint;
        QString strStatus = QString::fromLatin1(bHint ? NoAccessStatusText : NotConnectedText);
        if (!m_strLastFailure.isEmpty())
            strStatus += QString::fromLatin1("  -  ") + m_strLastFailure;
        SetStatus(strStatus, bHint ? QString::fromLatin1(NoAccessDetailText) : QString());
        return;
    }
    UartConfig config = {};
    SetStatus(ConnectedStatusText(m_dravik.GetUartConfig(&config) == DeviceSuccess ? &config : nullptr), QString());
}

QString CAdapterLink::ShownStatus() const
{
    return ShownStatusText(m_strStatus);
}

QString CAdapterLink::ShownStatusDetail() const
{
    return m_strStatusDetail.isEmpty() ? QString()
                                       : QCoreApplication::translate("CAdapterLink", m_strStatusDetail.toUtf8().constData());
}

void CAdapterLink::SetStatus(const QString& strStatus, const QString& strDetail)
{
    if (strStatus == m_strStatus && strDetail == m_strStatusDetail)
        return;
    m_strStatus = strStatus;
    m_strStatusDetail = strDetail;
    emit StatusChanged();
}
