#include "app/InstanceOptions.h"

#include <algorithm>

#include "fleet/VenueOptions.h"

namespace {

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// The broker's own limit on an id (see IsValidMqttId).
constexpr size_t MaxMqttIdLength = 64;

} // namespace

bool IsValidInstanceName(std::string_view name)
{
    return !name.empty() && name.size() <= MaxInstanceNameLength && std::all_of(name.begin(), name.end(), IsNameChar);
}

InstanceOptionParse ParseInstanceOption(const std::string& strName, bool bHasValue, const std::string& strValue,
                                        const std::vector<std::string>& args, size_t& i, InstanceOptions& options,
                                        std::string& strError)
{
    if (strName != "instance" && strName != "screen" && strName != "config")
        return InstanceOptionParse::NotMine;
    std::string strArg = strValue;
    if (!bHasValue) {
        if (i + 1 >= args.size()) {
            strError = "option --" + strName + " needs a value (see --help)";
            return InstanceOptionParse::Refused;
        }
        strArg = args[++i];
    }
    if (strArg.empty()) {
        strError = "option --" + strName + " needs a value (see --help)";
        return InstanceOptionParse::Refused;
    }
    if (strName == "instance") {
        if (!IsValidInstanceName(strArg)) {
            strError = "bad value '" + strArg + "' for --instance (letters, digits, '-' and '_', at most " +
                       std::to_string(MaxInstanceNameLength) + ")";
            return InstanceOptionParse::Refused;
        }
        options.strName = strArg;
    } else if (strName == "screen") {
        options.strScreen = strArg;
    } else {
        options.strConfigFile = strArg;
    }
    return InstanceOptionParse::Taken;
}

std::string InstanceMqttId(const std::string& strHostId, const std::string& strInstance)
{
    if (strInstance.empty())
        return strHostId;
    const size_t nRoom = MaxMqttIdLength - strInstance.size() - 1;
    return strHostId.substr(0, nRoom) + "-" + strInstance;
}

void ApplyInstanceDefaults(const InstanceOptions& instance, VenueOptions& venue)
{
    // Two exhibits of one host must not share a client id: the broker would
    // throw each out whenever the other connects.
    if (!instance.strName.empty() && venue.bMqtt && venue.strMqttId.empty())
        venue.strMqttId = InstanceMqttId(DefaultMqttId(), instance.strName);
}

std::string InstanceFolder(const std::string& strInstance)
{
    return strInstance.empty() ? std::string("quado") : "quado/" + strInstance;
}

std::string InstanceOptionsHelp()
{
    return "  --instance NAME     one of several exhibits on this computer: its own settings,\n"
           "                      records ($XDG_DATA_HOME/quado/NAME/records.sqlite) and MQTT id\n"
           "                      (HOST-NAME); letters, digits, - and _\n"
           "  --screen NAME|INDEX the monitor for full screen, Fit to Screen and the kiosk\n"
           "                      (a name such as HDMI-1, or 0, 1, ... in the system's order);\n"
           "                      followed as monitors come and go\n"
           "  --config FILE       read start options from FILE, one per line: key=value (the\n"
           "                      long option without its dashes), or key / key=true for one\n"
           "                      without a value; the command line wins over the file\n";
}
