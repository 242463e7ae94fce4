#include "tools/common/HidrawInjection.h"

#include <QMetaObject>

#include <map>
#include <mutex>
#include <set>
#include <string>

namespace {

std::mutex g_mutex;
std::set<CDeviceNotification*> g_registrations;
// The injected nodes still present, with their ids: what enumeration is to
// the system's nodes, so a registration made later knows them too.
std::map<std::string, std::string> g_injectedNodes;

void ObserveRegistration(CDeviceNotification& registration, bool bCreated)
{
    std::lock_guard lock(g_mutex);
    if (!bCreated) {
        // After this no injection can queue a call to it.
        g_registrations.erase(&registration);
        return;
    }
    for (const auto& [strNode, strHidId] : g_injectedNodes)
        registration.Remember(strNode, strHidId);
    g_registrations.insert(&registration);
}

// Before main, so that no registration is made unobserved: linking this file
// (by calling InjectHidrawUevent) installs it.
const bool g_bObserving = (SetDeviceNotificationObserver(&ObserveRegistration), true);

} // namespace

void InjectHidrawUevent(const HidrawUevent& event)
{
    std::lock_guard lock(g_mutex);
    if (event.nAction == HidrawUevent::Action::Add)
        g_injectedNodes[event.strNode] = event.strHidId;
    else if (event.nAction == HidrawUevent::Action::Remove)
        g_injectedNodes.erase(event.strNode);
    for (CDeviceNotification* pRegistration : g_registrations) {
        QMetaObject::invokeMethod(
            pRegistration, [pRegistration, event] { pRegistration->Deliver(event); }, Qt::QueuedConnection);
    }
}
