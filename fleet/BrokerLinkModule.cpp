// The broker-link module's one entry: the loader finds it by name.
#include "fleet/MqttLink.h"

namespace {

IBrokerLink* Make(MqttLinkConfig config)
{
    return new CMqttLink(std::move(config));
}

constexpr BrokerLinkModule Module{&Make, &CMqttLink::ThreadsLeftRunning};

} // namespace

extern "C" __attribute__((visibility("default"))) const BrokerLinkModule* QuadoBrokerLinkModule_1()
{
    return &Module;
}
