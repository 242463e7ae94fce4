#include "app/StartOptions.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/StartConfigFile.h"
#include "protocol/OpeningHours.h"
#include "protocol/WriteTarget.h"

#ifndef QUADO_VERSION
#define QUADO_VERSION "unknown"
#endif

namespace {

// The toolkit's own options that take a value in the next argument.
constexpr std::string_view ToolkitValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "display", "geometry", "style", "stylesheet", "name", "title", "qmljsdebugger"};

bool TakesToolkitValue(std::string_view name)
{
    for (std::string_view option : ToolkitValueOptions) {
        if (name == option)
            return true;
    }
    return false;
}

} // namespace

bool IsIsoDate(const std::string& str)
{
    if (str.size() != 10 || str[4] != '-' || str[7] != '-')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (str[i] < '0' || str[i] > '9')
            return false;
    }
    const int nYear = std::stoi(str.substr(0, 4));
    const int nMonth = std::stoi(str.substr(5, 2));
    const int nDay = std::stoi(str.substr(8, 2));
    constexpr int DaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (nYear < 1 || nMonth < 1 || nMonth > 12 || nDay < 1)
        return false;
    const bool bLeap = (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
    return nDay <= DaysIn[nMonth - 1] + (nMonth == 2 && bLeap ? 1 : 0);
}

StartOptionsResult ParseStartOptions(const std::vector<std::string>& args, bool bDemo)
{
    StartOptionsResult result;
    StartOptions& options = result.options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            if (arg.size() > 1 && arg[0] == '-') {
                // The toolkit's: its value, if it takes one, goes with it.
                if (TakesToolkitValue(std::string_view(arg).substr(1)) && arg.find('=') == std::string::npos)
                    ++i;
                continue;
            }
            result.strError = "unexpected argument '" + arg + "' (see --help)";
            return result;
        }
        const size_t nEquals = arg.find('=');
        const std::string name = arg.substr(2, nEquals == std::string::npos ? std::string::npos : nEquals - 2);
        const bool bHasValue = nEquals != std::string::npos;
        const std::string value = bHasValue ? arg.substr(nEquals + 1) : std::string();
        auto noValue = [&](bool& bFlag) {
            if (bHasValue) {
                result.strError = "option --" + name + " takes no value";
                return false;
            }
            bFlag = true;
            return true;
        };
        bool bOk = true;
        if (name == "help")
            bOk = noValue(options.bHelp);
        else if (name == "version")
            bOk = noValue(options.bVersion);
        else if (name == "fullscreen")
            bOk = noValue(options.bFullScreen);
        else if (name == "fit")
            bOk = noValue(options.bFit);
        else if (name == "mute")
            bOk = noValue(options.bMute);
        else if (name == "symbols")
            bOk = noValue(options.bShapes);
        else if (name == "speak")
            bOk = noValue(options.bSpeak);
        else if (name == "kiosk")
            bOk = noValue(options.bKiosk);
        else if (!bDemo && name == "explain")
            bOk = noValue(options.bExplainHours);
        else if (name == "connect") {
            if (bHasValue && value.empty()) {
                result.strError = "option --connect= needs a serial number";
                return result;
            }
            options.bConnect = true;
            options.strSerial = value;
        } else if (name == "no-records") {
            bool bNoRecords = false;
            bOk = noValue(bNoRecords);
            options.bRecords = false;
        } else if (name == "records" || name == "idle-records" || (!bDemo && (name == "export-records" || name == "since" || name == "at")) ||
                   name == "opening-hours" || name == "language") {
            std::string strValue = value;
            if (!bHasValue) {
                if (i + 1 >= args.size()) {
                    result.strError = "option --" + name + " needs a value (see --help)";
                    return result;
                }
                strValue = args[++i];
            }
            if (strValue.empty()) {
                result.strError = "option --" + name + " needs a value (see --help)";
                return result;
            }
            if (name == "records") {
                options.strRecordsFile = strValue;
            } else if (name == "opening-hours") {
                if (HoursRefusal refusal; !COpeningHours::Parse(strValue, refusal)) {
                    result.strError = "--opening-hours: " + refusal.Text();
                    return result;
                }
                options.strOpeningHours = strValue;
            } else if (name == "at") {
                options.strExplainAt = strValue;
            } else if (name == "export-records") {
                options.bExportRecords = true;
                options.strExportRecords = strValue;
            } else if (name == "since") {
                if (!IsIsoDate(strValue)) {
                    result.strError = "bad value '" + strValue + "' for --since (a day, YYYY-MM-DD)";
                    return result;
                }
                options.strSince = strValue;
            } else if (name == "language") {
                if (strValue != "en" && strValue != "de") {
                    result.strError = "bad value '" + strValue + "' for --language (en or de)";
                    return result;
                }
                options.strLanguage = strValue;
            } else {
                char* pszEnd = nullptr;
                const double fSeconds = std::strtod(strValue.c_str(), &pszEnd);
                if (*pszEnd != '\0' || !(fSeconds >= 1 && fSeconds <= 86400)) {
                    result.strError = "bad value '" + strValue + "' for --idle-records (seconds, 1 to 86400)";
                    return result;
                }
                options.fIdleRecordsSeconds = fSeconds;
            }
        } else if (bDemo && name == "replug-every") {
            std::string strSeconds = value;
            if (!bHasValue) {
                if (i + 1 >= args.size()) {
                    result.strError = "option --replug-every needs a number of seconds";
                    return result;
                }
                strSeconds = args[++i];
            }
            char* pszEnd = nullptr;
            const double fSeconds = std::strtod(strSeconds.c_str(), &pszEnd);
            // The adapter is away for a second each time: it must be back first.
            if (strSeconds.empty() || *pszEnd != '\0' || !(fSeconds >= 2 && fSeconds <= 86400)) {
                result.strError = "bad value '" + strSeconds + "' for --replug-every (seconds, 2 or more)";
                return result;
            }
            options.fReplugEverySeconds = fSeconds;
        } else if (const InstanceOptionParse nInstance =
                       ParseInstanceOption(name, bHasValue, value, args, i, options.instance, result.strError);
                   nInstance != InstanceOptionParse::NotMine) {
            if (nInstance == InstanceOptionParse::Refused)
                return result;
        } else if (const VenueOptionParse nVenue =
                       ParseVenueOption(name, bHasValue, value, args, i, options.venue, result.strError);
                   nVenue != VenueOptionParse::NotMine) {
            if (nVenue == VenueOptionParse::Refused)
                return result;
        } else {
            result.strError = "unknown option '" + arg + "' (see --help)";
            return result;
        }
        if (!bOk)
            return result;
    }
    if (options.bKiosk) {
        options.bFullScreen = true;
        options.bFit = true;
        options.bConnect = true;
        if (options.fIdleRecordsSeconds == 0)
            options.fIdleRecordsSeconds = KioskIdleRecordsSeconds;
    }
    if (!options.strSince.empty() && !options.bExportRecords)
        result.strError = "option --since goes with --export-records";
    if (options.bExplainHours && options.strOpeningHours.empty())
        result.strError = "option --explain goes with --opening-hours";
    if (!options.strExplainAt.empty() && !options.bExplainHours)
        result.strError = "option --at goes with --explain";
    return result;
}

bool CheckWrittenFiles(const StartOptions& options, std::string& strError)
{
    // The records file is written in place, the export replaces its file:
    // neither may ever land in a device or a pipe.
    if (options.bRecords || options.bExportRecords) {
        if (const std::string strRefusal = RefuseNonFile(options.strRecordsFile);
            !options.strRecordsFile.empty() && !strRefusal.empty()) {
            strError = "--records: " + strRefusal;
            return false;
        }
    }
    if (options.bExportRecords && options.strExportRecords != "-") {
        if (const std::string strRefusal = RefuseNonFile(options.strExportRecords); !strRefusal.empty()) {
            strError = "--export-records: " + strRefusal + " (- writes to standard output)";
            return false;
        }
    }
    return true;
}

std::string StartOptionsHelp(const char* pszProgram, bool bDemo)
{
    std::string strHelp = std::string("Usage: ") + pszProgram + " [options]\n\n"
        "  --fullscreen        start in full screen\n"
        "  --fit               start with Fit to Screen on\n"
        "  --mute              start muted\n"
        "  --symbols           start with Options > Shapes on the Board on: a shape on each\n"
        "                      quadrant and colour button, told apart without colour\n"
        "  --speak             say the panel's texts aloud, English then German\n"
        "  --connect[=SERIAL]  connect automatically to the adapter with that serial number\n"
        "                      (or the first one listed), now and whenever it comes back\n"
        "  --kiosk             --fullscreen --fit --connect, no tool window, no full-screen\n"
        "                      tool bar, mouse pointer hidden while it rests over the board,\n"
        "                      the day's records shown after 120 s without play\n"
        "  --records FILE      keep the records of play in FILE instead of\n"
        "                      $XDG_DATA_HOME/quado/records.sqlite\n"
        "  --no-records        start with Options > Keep Records off\n"
        "  --idle-records SECONDS\n"
        "                      show the day's games and best level over the board after\n"
        "                      SECONDS without a line from the board\n"
        "  --language en|de    the language of menus and windows (else the system's)\n";
    if (!bDemo)
        strHelp += "  --export-records FILE\n"
                   "                      write the records as CSV to FILE (- for standard output)\n"
                   "                      and end, without a window or a display\n"
                   "  --since YYYY-MM-DD  with --export-records: only the games from that day on\n";
    strHelp += "  --opening-hours HOURS\n"
               "                      the venue's hours (e.g. \"Mo-Fr 10:00-18:00; Dec 24-26 off\"): while\n"
               "                      closed the screen sleeps; a board line wakes it for a game\n";
    if (!bDemo)
        strHelp += "  --explain           with --opening-hours: print open or closed and until when, and end\n"
                   "  --at YYYY-MM-DDTHH:MM\n"
                   "                      with --explain: at that local time instead of now\n";
    if (bDemo)
        strHelp += "  --replug-every SECONDS\n"
                   "                      unplug the simulated adapter for one second every SECONDS\n";
    strHelp += VenueOptionsHelp();
    strHelp += InstanceOptionsHelp();
    strHelp += "  --version           print the version and exit\n"
               "  --help              print this help and exit\n\n"
               "The toolkit's own options (for example -platform offscreen) are accepted too.\n";
    if (bDemo)
        strHelp += "Without --records or --instance, the demo's records go to a temporary file that\n"
                   "ends with it.\n\n"
                   "For tests and screenshots, a few environment variables:\n"
                   "  QUADO_DEMO_CONNECT=1          press Connect once the windows are up\n"
                   "  QUADO_DEMO_SPEED=FACTOR       the board plays that many times faster\n"
                   "  QUADO_DEMO_QUIT_AFTER_MS=N    print what was seen, disconnect and end after N ms\n"
                   "  QUADO_DEMO_SEED=N             another sequence of games\n"
                   "  QUADO_DEMO_HOLD_AT_LEVEL=N    the board stops after its first \"Level N\", a game in\n"
                   "                                progress (what was seen is printed as with QUIT_AFTER_MS)\n";
    return strHelp;
}

const char* ProgramVersion()
{
    return QUADO_VERSION;
}

int HandleStartOptions(int argc, char* argv[], bool bDemo, StartOptions* pOptions)
{
    const char* pszProgram = bDemo ? "quado-demo" : "quado";
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const StartOptionsResult result = ParseStartOptionsWithConfig(args, bDemo);
    if (!result.strError.empty()) {
        std::fprintf(stderr, "%s: %s\n", pszProgram, result.strError.c_str());
        return 2;
    }
    if (result.options.bHelp) {
        std::fputs(StartOptionsHelp(pszProgram, bDemo).c_str(), stdout);
        return 0;
    }
    if (result.options.bVersion) {
        std::printf("%s %s\n", pszProgram, QUADO_VERSION);
        return 0;
    }
    *pOptions = result.options;
    ApplyInstanceDefaults(pOptions->instance, pOptions->venue);
    std::string strError;
    if (!PrepareVenueOptions(pOptions->venue, strError) || !CheckWrittenFiles(*pOptions, strError)) {
        std::fprintf(stderr, "%s: %s\n", pszProgram, strError.c_str());
        return 2;
    }
    return -1;
}
