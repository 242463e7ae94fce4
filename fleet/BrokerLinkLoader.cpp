#include "fleet/IBrokerLink.h"

#include <atomic>

#include "protocol/ModuleLoader.h"

namespace {

// Set once the module is loaded; it is never unloaded.
std::atomic<const BrokerLinkModule*> s_pModule{nullptr};

} // namespace

std::unique_ptr<IBrokerLink> MakeBrokerLink(MqttLinkConfig config, std::string& strError)
{
    const BrokerLinkModule* pModule = s_pModule.load();
    if (!pModule) {
        auto fnEntry = reinterpret_cast<BrokerLinkModuleEntry>(
            LoadModuleSymbol(BrokerLinkModuleFile, BrokerLinkModuleSymbol, strError));
        if (!fnEntry)
            return nullptr;
        pModule = fnEntry();
        s_pModule.store(pModule);
    }
    return std::unique_ptr<IBrokerLink>(pModule->fnMake(std::move(config)));
}

int BrokerThreadsLeftRunning()
{
    const BrokerLinkModule* pModule = s_pModule.load();
    return pModule ? pModule->fnThreadsLeftRunning() : 0;
}
