// The commands a venue may send this screen, as messages on <base>/set/<name>
// with a plain payload, and their checking. A command only ever names what
// the menu or the adapter window could do; none runs a program or touches a
// file. Plain C++.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct VenueCommand {
    enum class Kind { Mute, FullScreen, Fit, Connect, Disconnect, IdleRecords, Screenshot, Sleep, Speak };
    Kind nKind = Kind::Mute;
    // Mute, FullScreen, Fit, IdleRecords, Sleep, Speak: the state asked for.
    bool bOn = false;
    // Connect: the adapter's serial; empty for the first one listed.
    std::string strSerial;
};

// Longer payloads are refused unread.
inline constexpr size_t MaxCommandPayload = 256;

// One of the names ParseVenueCommand knows, whatever the payload.
bool IsVenueCommandName(std::string_view name);

// The command that name and payload make, or none with the reason in
// strError. Switches take "ON" or "OFF" (or "on", "off").
std::optional<VenueCommand> ParseVenueCommand(std::string_view name, std::string_view payload,
                                              std::string& strError);
