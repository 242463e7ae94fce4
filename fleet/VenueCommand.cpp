#include "fleet/VenueCommand.h"

#include <algorithm>

namespace {

constexpr size_t MaxSerialLength = 64;

std::optional<bool> Switch(std::string_view payload)
{
    if (payload == "ON" || payload == "on")
        return true;
    if (payload == "OFF" || payload == "off")
        return false;
    return std::nullopt;
}

bool IsSerial(std::string_view payload)
{
    return payload.size() <= MaxSerialLength &&
           std::all_of(payload.begin(), payload.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

} // namespace

bool IsVenueCommandName(std::string_view name)
{
    static constexpr std::string_view Names[] = {"mute",    "fullscreen", "fit",       "idle_records",
                                                 "connect", "disconnect", "screenshot", "sleep",
                                                 "speak"};
    return std::find(std::begin(Names), std::end(Names), name) != std::end(Names);
}

std::optional<VenueCommand> ParseVenueCommand(std::string_view name, std::string_view payload, std::string& strError)
{
    if (payload.size() > MaxCommandPayload) {
        strError = "payload too long";
        return std::nullopt;
    }
    struct SwitchName {
        std::string_view name;
        VenueCommand::Kind nKind;
    };
    static constexpr SwitchName Switches[] = {{"mute", VenueCommand::Kind::Mute},
                                              {"fullscreen", VenueCommand::Kind::FullScreen},
                                              {"fit", VenueCommand::Kind::Fit},
                                              {"idle_records", VenueCommand::Kind::IdleRecords},
                                              {"sleep", VenueCommand::Kind::Sleep},
                                              {"speak", VenueCommand::Kind::Speak}};
    for (const SwitchName& entry : Switches) {
        if (name != entry.name)
            continue;
        const std::optional<bool> bOn = Switch(payload);
        if (!bOn) {
            strError = "payload must be ON or OFF";
            return std::nullopt;
        }
        return VenueCommand{.nKind = entry.nKind, .bOn = *bOn, .strSerial = {}};
    }
    if (name == "connect") {
        if (!IsSerial(payload)) {
            strError = "payload must be an adapter's serial number, or empty for the first adapter";
            return std::nullopt;
        }
        return VenueCommand{.nKind = VenueCommand::Kind::Connect, .bOn = false, .strSerial = std::string(payload)};
    }
    // What a button sends ("PRESS", or nothing) does not matter here.
    if (name == "disconnect")
        return VenueCommand{.nKind = VenueCommand::Kind::Disconnect, .bOn = false, .strSerial = {}};
    if (name == "screenshot")
        return VenueCommand{.nKind = VenueCommand::Kind::Screenshot, .bOn = false, .strSerial = {}};
    strError = "no such command";
    return std::nullopt;
}
