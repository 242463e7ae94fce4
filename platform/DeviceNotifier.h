// Arrival and removal notifications of HID devices for the adapter window: a
// libudev monitor on hidraw, watched on the UI thread, whose events reach the
// window's device-change handler as an event kind, a device type and an
// interface name ("\\?\HID#Vid_10c4&Pid_8253#hidraw3" for an adapter).
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace DeviceChangeEvent {
constexpr uint32_t DeviceArrival = 0x8000;
constexpr uint32_t DeviceRemoveComplete = 0x8004;
constexpr uint32_t DeviceTypeInterface = 5;
} // namespace DeviceChangeEvent

// One hidraw uevent as the monitor reports it. strHidId is the parent hid
// device's HID_ID ("0003:000010C4:00008253"); remove events carry none.
struct HidrawUevent {
    enum class Action { Add, Remove, Other };
    Action nAction = Action::Other;
    std::string strNode;
    std::string strHidId;
};

// What the device-change handler receives.
struct DeviceChange {
    uint32_t nEvent = 0;
    uint32_t nDeviceType = 0;
    std::wstring strInterfaceName;
};

// Turns hidraw uevents into device changes. A node's ids are remembered at
// its arrival so that its removal, which carries none, is named alike.
class CHidrawEventTranslator {
public:
    static constexpr const char* InterfacePrefix = "\\\\?\\HID#";

    // A node present before any event was seen (found by enumeration).
    void Remember(const std::string& strNode, const std::string& strHidId);
    std::optional<DeviceChange> Translate(const HidrawUevent& event);

    // "\\?\HID#Vid_vvvv&Pid_pppp#<node name>", lower-case hex; without known
    // ids "\\?\HID#<node name>".
    static std::wstring InterfaceName(const std::string& strNode, const std::string& strHidId);

private:
    std::map<std::string, std::string> m_mapHidIds;
};

using DeviceChangeHandler = std::function<void(const DeviceChange& change)>;

// One registration: lives on the UI thread and calls its handler there, for
// every hidraw arrival and removal, until it is destroyed.
class CDeviceNotification : public QObject {
    Q_OBJECT
public:
    explicit CDeviceNotification(DeviceChangeHandler handler);
    ~CDeviceNotification() override;

    // Whether the system's uevents are watched; injected events arrive either way.
    bool IsMonitoring() const { return m_pMonitor != nullptr; }

    // Handles one event now, on the calling (UI) thread.
    void Deliver(const HidrawUevent& event);
    // A node present before this registration that enumeration did not see
    // (a simulated one), so that its removal is named as its arrival was.
    void Remember(const std::string& strNode, const std::string& strHidId);

private:
    void OpenMonitor();
    void OnMonitorReadable();

    DeviceChangeHandler m_handler;
    CHidrawEventTranslator m_translator;
    struct udev* m_pUdev = nullptr;
    struct udev_monitor* m_pMonitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_pSocketNotifier;
};

// Registers for HID arrivals and removals; cancelling is destroying the
// returned registration.
std::unique_ptr<CDeviceNotification> RegisterDeviceNotification(DeviceChangeHandler handler);

// Told of every registration on its thread, once it listens (bCreated) and as
// its destruction begins, so that simulated adapters can raise events of their
// own through Deliver (tests/support does). Null, the default, observes nothing.
using DeviceNotificationObserver = void (*)(CDeviceNotification& registration, bool bCreated);
void SetDeviceNotificationObserver(DeviceNotificationObserver observer);
