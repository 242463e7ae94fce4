// Several exhibits on one computer: --instance keeps one exhibit's settings,
// records and broker name apart from the others', --screen picks the monitor
// it shows on, --config reads its start options from a file. Plain C++,
// parsed with the other start options before the toolkit starts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct VenueOptions;

struct InstanceOptions {
    // Empty: the one unnamed exhibit, with the paths Quado always used.
    std::string strName;
    // A screen's name (QScreen::name(), e.g. HDMI-1) or its index; empty:
    // whichever screen the window is on.
    std::string strScreen;
    // --config FILE, already read into the other options when set.
    std::string strConfigFile;
};

enum class InstanceOptionParse { NotMine, Taken, Refused };

// One "--name[=value]" of the command line, as ParseVenueOption takes it.
InstanceOptionParse ParseInstanceOption(const std::string& strName, bool bHasValue, const std::string& strValue,
                                        const std::vector<std::string>& args, size_t& i, InstanceOptions& options,
                                        std::string& strError);

// Letters, digits, '-' and '_', 1 to MaxInstanceNameLength of them: safe as a
// folder name, a file name, a systemd instance and part of a broker id.
inline constexpr size_t MaxInstanceNameLength = 32;
bool IsValidInstanceName(std::string_view name);

// The broker id of a named exhibit: the host's id, a dash and the name, the
// host's part shortened so that the whole stays a valid id.
std::string InstanceMqttId(const std::string& strHostId, const std::string& strInstance);

// Once every option is read: the defaults a named exhibit has of its own
// (today only the broker id; the records and settings paths are asked for
// where they are made).
void ApplyInstanceDefaults(const InstanceOptions& instance, VenueOptions& venue);

// Where a named exhibit keeps what is its own, below the user's folders:
// "quado/NAME" (the records under $XDG_DATA_HOME, the settings under
// $XDG_CONFIG_HOME); "quado" for the unnamed one.
std::string InstanceFolder(const std::string& strInstance);

// The lines --help shows for these options.
std::string InstanceOptionsHelp();
