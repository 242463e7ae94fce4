#include "fleet/VenueOptions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "protocol/WriteTarget.h"

namespace {

constexpr char PasswordVariable[] = "QUADO_MQTT_PASSWORD";
constexpr size_t MaxPasswordBytes = 4096;
constexpr size_t MaxPrefixLength = 128;
constexpr int DefaultPort = 1883;
constexpr int DefaultTlsPort = 8883;

bool IsIdChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool IsHostChar(char c)
{
    return IsIdChar(c) || c == '.';
}

// The value of an option that needs one: after '=' or the next argument.
bool TakeValue(const std::string& strName, bool bHasValue, const std::string& strValue,
               const std::vector<std::string>& args, size_t& i, std::string& strOut, std::string& strError)
{
    if (bHasValue) {
        strOut = strValue;
    } else if (i + 1 < args.size()) {
        strOut = args[++i];
    } else {
        strError = "option --" + strName + " needs a value (see --help)";
        return false;
    }
    if (strOut.empty()) {
        strError = "option --" + strName + " needs a value (see --help)";
        return false;
    }
    return true;
}

// Overwrites the variable's text where the process started with it, so that
// /proc/<pid>/environ no longer shows it, then removes it for good.
void WipeEnvironmentPassword()
{
    if (char* pszValue = std::getenv(PasswordVariable))
        std::memset(pszValue, 0, std::strlen(pszValue));
    unsetenv(PasswordVariable);
}

bool ReadPasswordFile(const std::string& strPath, std::string& strPassword, std::string& strError)
{
    struct stat st {};
    if (stat(strPath.c_str(), &st) != 0) {
        strError = "cannot read the MQTT password file '" + strPath + "': " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        strError = "cannot read the MQTT password file '" + strPath + "': not a file";
        return false;
    }
    if (static_cast<size_t>(st.st_size) > MaxPasswordBytes) {
        strError = "the MQTT password file '" + strPath + "' is too large to hold a password";
        return false;
    }
    std::ifstream file(strPath, std::ios::binary);
    if (!file) {
        strError = "cannot read the MQTT password file '" + strPath + "': " + std::strerror(errno);
        return false;
    }
    strPassword.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    // Editors and `echo` end the file with a line break that is no part of it.
    if (!strPassword.empty() && strPassword.back() == '\n')
        strPassword.pop_back();
    if (!strPassword.empty() && strPassword.back() == '\r')
        strPassword.pop_back();
    if (strPassword.empty()) {
        strError = "the MQTT password file '" + strPath + "' is empty";
        return false;
    }
    return true;
}

} // namespace

bool IsValidMqttId(std::string_view id)
{
    return !id.empty() && id.size() <= 64 && std::all_of(id.begin(), id.end(), IsIdChar);
}

bool IsValidMqttPrefix(std::string_view prefix)
{
    if (prefix.empty() || prefix.size() > MaxPrefixLength)
        return false;
    size_t nStart = 0;
    for (;;) {
        const size_t nSlash = prefix.find('/', nStart);
        const std::string_view level = prefix.substr(nStart, nSlash == std::string_view::npos ? nSlash : nSlash - nStart);
        if (level.empty() || !std::all_of(level.begin(), level.end(), IsHostChar))
            return false;
        if (nSlash == std::string_view::npos)
            return true;
        nStart = nSlash + 1;
    }
}

std::string DefaultMqttId()
{
    char szHost[256] = {};
    if (gethostname(szHost, sizeof szHost - 1) != 0)
        szHost[0] = '\0';
    std::string strId;
    for (const char* p = szHost; *p && *p != '.' && strId.size() < 64; ++p)
        strId.push_back(IsIdChar(*p) ? *p : '_');
    return strId.empty() ? std::string("quado") : strId;
}

bool ParseMqttUrl(std::string_view url, MqttEndpoint& endpoint, std::string& strError)
{
    MqttEndpoint result;
    std::string_view rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        result.bTls = true;
        rest = url.substr(8);
    } else {
        strError = "--mqtt takes mqtt://host[:port] or mqtts://host[:port]";
        return false;
    }
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    if (const size_t nAt = rest.rfind('@'); nAt != std::string_view::npos) {
        const std::string_view user = rest.substr(0, nAt);
        // Never echoed: it may hold a password.
        if (user.find(':') != std::string_view::npos) {
            strError = "--mqtt must not hold a password: put it in QUADO_MQTT_PASSWORD or --mqtt-password-file";
            return false;
        }
        if (user.empty() || user.find_first_of("/ \t") != std::string_view::npos) {
            strError = "--mqtt: bad user name before '@' (or use --mqtt-user)";
            return false;
        }
        result.strUser = std::string(user);
        rest = rest.substr(nAt + 1);
    }
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const size_t nClose = rest.find(']');
        if (nClose == std::string_view::npos || nClose == 1) {
            strError = "--mqtt: bad address in brackets";
            return false;
        }
        result.strHost = std::string(rest.substr(1, nClose - 1));
        rest = rest.substr(nClose + 1);
        if (!rest.empty() && rest.front() != ':') {
            strError = "--mqtt: nothing may follow the address but :port";
            return false;
        }
        if (!rest.empty())
            port = rest.substr(1);
        if (!std::all_of(result.strHost.begin(), result.strHost.end(),
                         [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; })) {
            strError = "--mqtt: bad address in brackets";
            return false;
        }
    } else {
        const size_t nColon = rest.find(':');
        result.strHost = std::string(rest.substr(0, nColon));
        if (nColon != std::string_view::npos)
            port = rest.substr(nColon + 1);
        if (result.strHost.empty() || !std::all_of(result.strHost.begin(), result.strHost.end(), IsHostChar)) {
            strError = "--mqtt: bad host name '" + result.strHost + "'";
            return false;
        }
    }
    result.nPort = result.bTls ? DefaultTlsPort : DefaultPort;
    if (!port.empty() || (rest.size() == 1 && rest.front() == ':')) {
        const std::string strPort(port);
        char* pszEnd = nullptr;
        const long nPort = std::strtol(strPort.c_str(), &pszEnd, 10);
        if (strPort.empty() || *pszEnd != '\0' || strPort.front() == '-' || nPort < 1 || nPort > 65535) {
            strError = "--mqtt: bad port '" + strPort + "' (1 to 65535)";
            return false;
        }
        result.nPort = static_cast<int>(nPort);
    }
    endpoint = result;
    return true;
}

VenueOptionParse ParseVenueOption(const std::string& strName, bool bHasValue, const std::string& strValue,
                                  const std::vector<std::string>& args, size_t& i, VenueOptions& options,
                                  std::string& strError)
{
    std::string strArg;
    if (strName == "mqtt-discovery" || strName == "mqtt-password") {
        if (strName == "mqtt-password") {
            strError = "there is no --mqtt-password: a password on the command line is seen by every user; "
                       "use QUADO_MQTT_PASSWORD or --mqtt-password-file";
            return VenueOptionParse::Refused;
        }
        if (bHasValue) {
            strError = "option --mqtt-discovery takes no value";
            return VenueOptionParse::Refused;
        }
        options.bMqttDiscovery = true;
        return VenueOptionParse::Taken;
    }
    if (strName != "mqtt" && strName != "mqtt-user" && strName != "mqtt-password-file" && strName != "mqtt-id" &&
        strName != "mqtt-prefix" && strName != "metrics-file")
        return VenueOptionParse::NotMine;
    if (!TakeValue(strName, bHasValue, strValue, args, i, strArg, strError))
        return VenueOptionParse::Refused;

    if (strName == "mqtt") {
        if (!ParseMqttUrl(strArg, options.mqtt, strError))
            return VenueOptionParse::Refused;
        options.bMqtt = true;
    } else if (strName == "mqtt-user") {
        options.strMqttUser = strArg;
    } else if (strName == "mqtt-password-file") {
        options.strMqttPasswordFile = strArg;
    } else if (strName == "mqtt-id") {
        if (!IsValidMqttId(strArg)) {
            strError = "bad value '" + strArg + "' for --mqtt-id (letters, digits, '-' and '_', at most 64)";
            return VenueOptionParse::Refused;
        }
        options.strMqttId = strArg;
    } else if (strName == "mqtt-prefix") {
        if (!IsValidMqttPrefix(strArg)) {
            strError = "bad value '" + strArg + "' for --mqtt-prefix (levels of letters, digits, '-', '_', '.' "
                       "joined by '/')";
            return VenueOptionParse::Refused;
        }
        options.strMqttPrefix = strArg;
    } else {
        options.strMetricsFile = strArg;
    }
    return VenueOptionParse::Taken;
}

bool PrepareVenueOptions(VenueOptions& options, std::string& strError)
{
    const bool bMqttDetail = !options.strMqttUser.empty() || !options.strMqttPasswordFile.empty() ||
                             !options.strMqttId.empty() || options.strMqttPrefix != "quado" || options.bMqttDiscovery;
    if (!options.bMqtt) {
        WipeEnvironmentPassword();
        if (bMqttDetail) {
            strError = "the --mqtt-... options need --mqtt URL";
            return false;
        }
    } else {
        if (!options.strMqttPasswordFile.empty()) {
            WipeEnvironmentPassword();
            if (!ReadPasswordFile(options.strMqttPasswordFile, options.strMqttPassword, strError))
                return false;
        } else if (const char* pszPassword = std::getenv(PasswordVariable); pszPassword && *pszPassword) {
            options.strMqttPassword = pszPassword;
            WipeEnvironmentPassword();
        } else {
            WipeEnvironmentPassword();
        }
        if (!options.strMqttPassword.empty() && options.MqttUser().empty()) {
            strError = "an MQTT password needs a user name: --mqtt-user NAME or mqtt://NAME@host";
            return false;
        }
        if (options.strMqttId.empty())
            options.strMqttId = DefaultMqttId();
    }
    if (!options.strMetricsFile.empty()) {
        const std::string& strPath = options.strMetricsFile;
        const size_t nSlash = strPath.rfind('/');
        const std::string strFolder = nSlash == std::string::npos ? "." : (nSlash == 0 ? "/" : strPath.substr(0, nSlash));
        struct stat st {};
        if (nSlash + 1 == strPath.size()) {
            strError = "--metrics-file needs a file name, not a folder: '" + strPath + "'";
            return false;
        }
        if (stat(strFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            strError = "--metrics-file: the folder '" + strFolder + "' does not exist";
            return false;
        }
        // The file is replaced whole at every write: what stands there must
        // be a file of Quado's own, never /dev/null or a pipe.
        if (const std::string strRefusal = RefuseNonFile(strPath); !strRefusal.empty()) {
            strError = "--metrics-file: " + strRefusal + " (without the option no metrics are written)";
            return false;
        }
    }
    return true;
}

std::string VenueOptionsHelp()
{
    return "  --mqtt URL          report to and take commands from an MQTT broker:\n"
           "                      mqtt://host[:port] or mqtts://host[:port] (TLS, system CAs)\n"
           "  --mqtt-user NAME    the broker's user name (or mqtt://NAME@host); the password\n"
           "                      comes only from QUADO_MQTT_PASSWORD or --mqtt-password-file\n"
           "  --mqtt-password-file FILE\n"
           "                      read the broker password from FILE\n"
           "  --mqtt-id NAME      this screen's name in the topics (default: the host name)\n"
           "  --mqtt-prefix P     the topics' first level(s) (default: quado)\n"
           "  --mqtt-discovery    announce sensors and switches to Home Assistant\n"
           "  --metrics-file PATH write Prometheus metrics to PATH every 15 s and at exit\n";
}
