#include "fleet/Discovery.h"

#include "fleet/JsonText.h"
#include "fleet/MqttLink.h"

namespace {

struct Entity {
    const char* pszComponent;
    const char* pszObject;
    const char* pszName;
    const char* pszTemplate;
    // Switches only: the command topic's last level.
    const char* pszCommand;
    const char* pszDeviceClass;
    const char* pszIcon;
};

constexpr Entity Entities[] = {
    {"binary_sensor", "connected", "Adapter connected", "{{ 'ON' if value_json.connected else 'OFF' }}", nullptr,
     "connectivity", nullptr},
    {"binary_sensor", "game_running", "Game running", "{{ 'ON' if value_json.game_running else 'OFF' }}", nullptr,
     "running", nullptr},
    {"sensor", "games_today", "Games today", "{{ value_json.games_today }}", nullptr, nullptr, "mdi:counter"},
    // No game yet today reads as 0: the levels start at 1.
    {"sensor", "best_level_today", "Best level today", "{{ value_json.best_level_today | default(0, true) }}", nullptr,
     nullptr, "mdi:trophy"},
    {"switch", "mute", "Mute", "{{ 'ON' if value_json.muted else 'OFF' }}", "mute", nullptr, "mdi:volume-off"},
    {"switch", "fullscreen", "Full screen", "{{ 'ON' if value_json.full_screen else 'OFF' }}", "fullscreen", nullptr,
     "mdi:fullscreen"},
};

// The prefix as one id part: "museum/hall.2" becomes "museum_hall_2".
std::string IdPart(const std::string& strPrefix)
{
    std::string str = strPrefix;
    for (char& c : str) {
        if (c == '/' || c == '.')
            c = '_';
    }
    return str;
}

} // namespace

std::vector<MqttMessage> DiscoveryMessages(const std::string& strPrefix, const std::string& strId,
                                           const std::string& strVersion)
{
    const std::string strBase = strPrefix + "/" + strId;
    const std::string strNode = IdPart(strPrefix) + "_" + strId;
    const std::string strDevice = CJsonObject()
                                      .AddJson("identifiers", "[" + JsonQuote(strNode) + "]")
                                      .AddString("name", "Quado " + strId)
                                      .AddString("manufacturer", "The Quado developers")
                                      .AddString("model", "Quado")
                                      .AddString("sw_version", strVersion)
                                      .Text();
    std::vector<MqttMessage> vecMessages;
    for (const Entity& entity : Entities) {
        CJsonObject json;
        json.AddString("name", entity.pszName)
            .AddString("unique_id", strNode + "_" + entity.pszObject)
            .AddString("object_id", strNode + "_" + entity.pszObject)
            .AddString("state_topic", strBase + "/state")
            .AddString("value_template", entity.pszTemplate)
            .AddString("availability_topic", strBase + "/availability")
            .AddString("payload_available", "online")
            .AddString("payload_not_available", "offline");
        if (entity.pszCommand) {
            json.AddString("command_topic", strBase + "/set/" + entity.pszCommand)
                .AddString("payload_on", "ON")
                .AddString("payload_off", "OFF")
                .AddString("state_on", "ON")
                .AddString("state_off", "OFF");
        }
        if (entity.pszDeviceClass)
            json.AddString("device_class", entity.pszDeviceClass);
        if (entity.pszIcon)
            json.AddString("icon", entity.pszIcon);
        json.AddJson("device", strDevice);
        vecMessages.push_back(MqttMessage{.strTopic = std::string("homeassistant/") + entity.pszComponent + "/" +
                                                      strNode + "/" + entity.pszObject + "/config",
                                          .strPayload = json.Text(),
                                          .bRetain = true});
    }
    return vecMessages;
}
