// The start options that let a venue watch and steer this screen from one
// place: the MQTT broker link and the Prometheus metrics file. Every part is
// off unless its option is given. Plain C++; parsed with the other start
// options, before the toolkit starts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Where the broker is: mqtt://host[:port] or mqtts://host[:port].
struct MqttEndpoint {
    bool bTls = false;
    std::string strHost;
    int nPort = 0;
    // From user@host; empty when the URL names none.
    std::string strUser;
};

struct VenueOptions {
    bool bMqtt = false;
    MqttEndpoint mqtt;
    // --mqtt-user: wins over the URL's user.
    std::string strMqttUser;
    std::string strMqttPasswordFile;
    // Empty: the host name (see DefaultMqttId).
    std::string strMqttId;
    std::string strMqttPrefix = "quado";
    bool bMqttDiscovery = false;
    // Set by the program when it runs with opening hours: the venue hears
    // of them (discovery's Open and Sleep).
    bool bOpeningHours = false;
    std::string strMetricsFile;

    // Filled by PrepareVenueOptions from QUADO_MQTT_PASSWORD or the password
    // file; never printed, never passed on the command line.
    std::string strMqttPassword;

    const std::string& MqttUser() const { return strMqttUser.empty() ? mqtt.strUser : strMqttUser; }
};

enum class VenueOptionParse { NotMine, Taken, Refused };

// One "--name[=value]" of the command line; an option that needs a value and
// has none after '=' takes args[i + 1] and advances i. On Refused, strError
// is the one line to print.
VenueOptionParse ParseVenueOption(const std::string& strName, bool bHasValue, const std::string& strValue,
                                  const std::vector<std::string>& args, size_t& i, VenueOptions& options,
                                  std::string& strError);

// Once every option is read: what only the whole set can tell (an MQTT
// option without --mqtt), the password read and the environment's copy of it
// wiped, the client id settled, the metrics file's folder checked. False with
// one line in strError.
bool PrepareVenueOptions(VenueOptions& options, std::string& strError);

// The lines --help shows for these options.
std::string VenueOptionsHelp();

bool ParseMqttUrl(std::string_view url, MqttEndpoint& endpoint, std::string& strError);

// This machine's host name up to its first dot, reduced to the characters an
// id may hold; "quado" when it has none.
std::string DefaultMqttId();

// Letters, digits, '-' and '_', 1 to 64 of them: safe in a topic and as a
// Home Assistant object id.
bool IsValidMqttId(std::string_view id);
// Topic levels of letters, digits, '-', '_' and '.', joined by '/'.
bool IsValidMqttPrefix(std::string_view prefix);
