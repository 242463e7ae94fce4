#include "platform/DeviceNotifier.h"

#include <QSocketNotifier>

#include <libudev.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "device/LinuxHidBackend.h"

namespace {

constexpr char HidrawSubsystem[] = "hidraw";
// Present when udevd runs: its events come after the rules, so a new node
// already has its permissions. Without it only the kernel's events exist.
constexpr char UdevControlSocket[] = "/run/udev/control";

DeviceNotificationObserver& Observer()
{
    static DeviceNotificationObserver s_observer = nullptr;
    return s_observer;
}

std::string NodeName(const std::string& strNode)
{
    const size_t nSlash = strNode.rfind('/');
    return nSlash == std::string::npos ? strNode : strNode.substr(nSlash + 1);
}

std::string NodeOf(udev_device* pDevice)
{
    if (const char* pszNode = udev_device_get_devnode(pDevice))
        return pszNode;
    if (const char* pszName = udev_device_get_sysname(pDevice))
        return std::string("/dev/") + pszName;
    return {};
}

std::string HidIdOf(udev_device* pDevice)
{
    udev_device* pParent = udev_device_get_parent_with_subsystem_devtype(pDevice, "hid", nullptr);
    const char* pszHidId = pParent ? udev_device_get_property_value(pParent, "HID_ID") : nullptr;
    return pszHidId ? pszHidId : std::string();
}

} // namespace

void CHidrawEventTranslator::Remember(const std::string& strNode, const std::string& strHidId)
{
    m_mapHidIds[strNode] = strHidId;
}

std::optional<DeviceChange> CHidrawEventTranslator::Translate(const HidrawUevent& event)
{
    if (event.strNode.empty())
        return std::nullopt;
    DeviceChange change;
    change.nDeviceType = DeviceChangeEvent::DeviceTypeInterface;
    switch (event.nAction) {
    case HidrawUevent::Action::Add:
        m_mapHidIds[event.strNode] = event.strHidId;
        change.nEvent = DeviceChangeEvent::DeviceArrival;
        change.strInterfaceName = InterfaceName(event.strNode, event.strHidId);
        return change;
    case HidrawUevent::Action::Remove: {
        std::string strHidId;
        if (auto it = m_mapHidIds.find(event.strNode); it != m_mapHidIds.end()) {
            strHidId = it->second;
            m_mapHidIds.erase(it);
        }
        change.nEvent = DeviceChangeEvent::DeviceRemoveComplete;
        change.strInterfaceName = InterfaceName(event.strNode, strHidId);
        return change;
    }
    case HidrawUevent::Action::Other:
        break;
    }
    return std::nullopt;
}

std::wstring CHidrawEventTranslator::InterfaceName(const std::string& strNode, const std::string& strHidId)
{
    std::string strName = InterfacePrefix;
    uint16_t nBus = 0;
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    if (ParseHidId(strHidId.c_str(), nBus, nVendorId, nProductId)) {
        char szIds[24];
        std::snprintf(szIds, sizeof szIds, "Vid_%04x&Pid_%04x#", nVendorId, nProductId);
        strName += szIds;
    }
    strName += NodeName(strNode);
    return std::wstring(strName.begin(), strName.end());
}

CDeviceNotification::CDeviceNotification(DeviceChangeHandler handler)
    : m_handler(std::move(handler))
{
    OpenMonitor();
    if (Observer())
        Observer()(*this, true);
}

CDeviceNotification::~CDeviceNotification()
{
    // First, so that nothing raised elsewhere reaches a half-destroyed object;
    // calls already queued die with it.
    if (Observer())
        Observer()(*this, false);
    m_pSocketNotifier.reset();
    if (m_pMonitor)
        udev_monitor_unref(m_pMonitor);
    if (m_pUdev)
        udev_unref(m_pUdev);
}

void CDeviceNotification::OpenMonitor()
{
    m_pUdev = udev_new();
    if (!m_pUdev)
        return;
    const char* pszSource = access(UdevControlSocket, F_OK) == 0 ? "udev" : "kernel";
    m_pMonitor = udev_monitor_new_from_netlink(m_pUdev, pszSource);
    if (m_pMonitor && (udev_monitor_filter_add_match_subsystem_devtype(m_pMonitor, HidrawSubsystem, nullptr) < 0 ||
                       udev_monitor_enable_receiving(m_pMonitor) < 0)) {
        udev_monitor_unref(m_pMonitor);
        m_pMonitor = nullptr;
    }
    if (!m_pMonitor)
        return;

    // Removals carry no ids: learn the ids of the nodes already present now,
    // after the monitor is listening, so that no node falls between the two.
    if (udev_enumerate* pEnumerate = udev_enumerate_new(m_pUdev)) {
        udev_enumerate_add_match_subsystem(pEnumerate, HidrawSubsystem);
        udev_enumerate_scan_devices(pEnumerate);
        udev_list_entry* pEntry = nullptr;
        udev_list_entry_foreach(pEntry, udev_enumerate_get_list_entry(pEnumerate))
        {
            const char* pszSysPath = udev_list_entry_get_name(pEntry);
            if (udev_device* pDevice = pszSysPath ? udev_device_new_from_syspath(m_pUdev, pszSysPath) : nullptr) {
                const std::string strNode = NodeOf(pDevice);
                if (!strNode.empty())
                    m_translator.Remember(strNode, HidIdOf(pDevice));
                udev_device_unref(pDevice);
            }
        }
        udev_enumerate_unref(pEnumerate);
    }

    m_pSocketNotifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_pMonitor), QSocketNotifier::Read);
    connect(m_pSocketNotifier.get(), &QSocketNotifier::activated, this, &CDeviceNotification::OnMonitorReadable);
}

void CDeviceNotification::OnMonitorReadable()
{
    // The monitor's socket is non-blocking: take every event that is there.
    while (udev_device* pDevice = udev_monitor_receive_device(m_pMonitor)) {
        HidrawUevent event;
        const char* pszAction = udev_device_get_action(pDevice);
        if (pszAction && std::strcmp(pszAction, "add") == 0)
            event.nAction = HidrawUevent::Action::Add;
        else if (pszAction && std::strcmp(pszAction, "remove") == 0)
            event.nAction = HidrawUevent::Action::Remove;
        event.strNode = NodeOf(pDevice);
        if (event.nAction == HidrawUevent::Action::Add)
            event.strHidId = HidIdOf(pDevice);
        udev_device_unref(pDevice);
        Deliver(event);
    }
}

void CDeviceNotification::Deliver(const HidrawUevent& event)
{
    if (std::optional<DeviceChange> change = m_translator.Translate(event); change && m_handler)
        m_handler(*change);
}

std::unique_ptr<CDeviceNotification> RegisterDeviceNotification(DeviceChangeHandler handler)
{
    return std::make_unique<CDeviceNotification>(std::move(handler));
}

void CDeviceNotification::Remember(const std::string& strNode, const std::string& strHidId)
{
    m_translator.Remember(strNode, strHidId);
}

void SetDeviceNotificationObserver(DeviceNotificationObserver observer)
{
    Observer() = observer;
}
