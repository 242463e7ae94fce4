#include "fleet/Discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>

#include "fleet/IBrokerLink.h"

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
    // Sensors only: how the recorder keeps its history.
    const char* pszStateClass;
    // About the screen's health rather than what it is for.
    bool bDiagnostic;
};

constexpr Entity Entities[] = {
    {"binary_sensor", "connected", "Adapter connected", "{{ 'ON' if value_json.connected else 'OFF' }}", nullptr,
     "connectivity", nullptr, nullptr, true},
    {"binary_sensor", "game_running", "Game running", "{{ 'ON' if value_json.game_running else 'OFF' }}", nullptr,
     "running", nullptr, nullptr, false},
    // Counts up through the day and starts again at midnight: a drop is a
    // new cycle, which is what total_increasing means.
    {"sensor", "games_today", "Games today", "{{ value_json.games_today }}", nullptr, nullptr, "mdi:counter",
     "total_increasing", false},
    // No game yet today reads as 0: the levels start at 1.
    {"sensor", "best_level_today", "Best level today", "{{ value_json.best_level_today | default(0, true) }}", nullptr,
     nullptr, "mdi:trophy", "measurement", false},
    {"switch", "mute", "Mute", "{{ 'ON' if value_json.muted else 'OFF' }}", "mute", nullptr, "mdi:volume-off", nullptr,
     false},
    {"switch", "fullscreen", "Full screen", "{{ 'ON' if value_json.full_screen else 'OFF' }}", "fullscreen", nullptr,
     "mdi:fullscreen", nullptr, false},
};

// Only for a screen with opening hours. Asleep is anything but a lit display.
constexpr Entity HoursEntities[] = {
    {"binary_sensor", "open", "Open", "{{ 'ON' if value_json.open else 'OFF' }}", nullptr, "opening", nullptr, nullptr,
     false},
    {"switch", "sleep", "Sleep", "{{ 'OFF' if value_json.display == 'on' else 'ON' }}", "sleep", nullptr, "mdi:sleep",
     nullptr, false},
};

QString Latin(const char* psz)
{
    return QString::fromLatin1(psz);
}

QString Utf8(const std::string& str)
{
    return QString::fromStdString(str);
}

// Home Assistant's entity ids are lower-case letters, digits and '_'; it
// only proposes this one and numbers a clash itself.
std::string EntitySlug(const std::string& str)
{
    std::string strSlug;
    for (const char c : str) {
        const auto u = static_cast<unsigned char>(c);
        strSlug.push_back(std::isalnum(u) && u < 0x80 ? static_cast<char>(std::tolower(u)) : '_');
    }
    return strSlug;
}

} // namespace

// The id takes letters, digits, '-' and '_', the prefix also '/' and '.'.
// In the prefix every byte but a letter or digit is written "-hh" (its two
// lower-case hex digits), so the prefix part never holds a '_' and the first
// '_' ends it: "museum/hall.2" and "museum_hall_2" stay apart, and the usual
// "quado" with "kiosk1" keeps the name it always had, "quado_kiosk1". The
// result is what discovery topics allow for a node: [A-Za-z0-9_-].
std::string DiscoveryNode(const std::string& strPrefix, const std::string& strId)
{
    static const char Hex[] = "0123456789abcdef";
    std::string strNode;
    for (const char c : strPrefix) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) && u < 0x80) {
            strNode.push_back(c);
        } else {
            strNode.push_back('-');
            strNode.push_back(Hex[u >> 4]);
            strNode.push_back(Hex[u & 0xF]);
        }
    }
    return strNode + "_" + strId;
}

std::vector<MqttMessage> DiscoveryMessages(const std::string& strPrefix, const std::string& strId,
                                           const std::string& strVersion, bool bOpeningHours)
{
    const std::string strBase = strPrefix + "/" + strId;
    const std::string strNode = DiscoveryNode(strPrefix, strId);
    const QJsonObject device{{"identifiers", QJsonArray{Utf8(strNode)}},
                             {"name", Utf8("Quado " + strId)},
                             {"manufacturer", "The Quado developers"},
                             {"model", "Quado"},
                             {"sw_version", Utf8(strVersion)}};
    // Who sent the config, which Home Assistant shows in its log.
    const QJsonObject origin{{"name", "Quado"}, {"sw_version", Utf8(strVersion)}};
    std::vector<MqttMessage> vecMessages;
    std::vector<Entity> vecEntities(std::begin(Entities), std::end(Entities));
    if (bOpeningHours)
        vecEntities.insert(vecEntities.end(), std::begin(HoursEntities), std::end(HoursEntities));
    for (const Entity& entity : vecEntities) {
        const std::string strUniqueId = strNode + "_" + entity.pszObject;
        QJsonObject json{{"name", Latin(entity.pszName)},
                         {"unique_id", Utf8(strUniqueId)},
                         {"default_entity_id", Utf8(std::string(entity.pszComponent) + "." + EntitySlug(strUniqueId))},
                         {"state_topic", Utf8(strBase + "/state")},
                         {"value_template", Latin(entity.pszTemplate)},
                         {"availability_topic", Utf8(strBase + "/availability")},
                         {"payload_available", "online"},
                         {"payload_not_available", "offline"},
                         {"device", device},
                         {"origin", origin}};
        if (entity.pszCommand) {
            json["command_topic"] = Utf8(strBase + "/set/" + entity.pszCommand);
            json["payload_on"] = "ON";
            json["payload_off"] = "OFF";
            json["state_on"] = "ON";
            json["state_off"] = "OFF";
        }
        if (entity.pszDeviceClass)
            json["device_class"] = Latin(entity.pszDeviceClass);
        if (entity.pszIcon)
            json["icon"] = Latin(entity.pszIcon);
        if (entity.pszStateClass)
            json["state_class"] = Latin(entity.pszStateClass);
        if (entity.bDiagnostic)
            json["entity_category"] = "diagnostic";
        vecMessages.push_back(MqttMessage{
            .strTopic = std::string("homeassistant/") + entity.pszComponent + "/" + strNode + "/" + entity.pszObject +
                        "/config",
            .strPayload = QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString(),
            .bRetain = true});
    }
    return vecMessages;
}
