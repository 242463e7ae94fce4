// Home Assistant's discovery: the retained configs under homeassistant/ that
// make this screen a device with sensors (adapter connected, game running,
// games today, best level today) and switches (mute, full screen) fed by its
// state topic and steered through its command topics. Plain C++ and Qt's JSON.
#pragma once

#include <string>
#include <vector>

struct MqttMessage;

// strPrefix and strId as the options gave them; the topics are under
// "<strPrefix>/<strId>/".
std::vector<MqttMessage> DiscoveryMessages(const std::string& strPrefix, const std::string& strId,
                                           const std::string& strVersion, bool bOpeningHours = false);

// This screen's name among Home Assistant's devices, the root of every
// unique_id: one prefix and id never share it with another (see the .cpp).
std::string DiscoveryNode(const std::string& strPrefix, const std::string& strId);
