#include "tools/quado-sim/SimOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr unsigned MaxAdapters = 16;
constexpr const char* DefaultSerialBase = "QSIM";

bool ParseNumber(const char* pText, double fMin, double fMax, double& fValue)
{
    char* pEnd = nullptr;
    fValue = std::strtod(pText, &pEnd);
    return pEnd != pText && *pEnd == 0 && fValue >= fMin && fValue <= fMax;
}

// One to four hex digits, with or without a leading 0x; nothing else.
bool ParseHex16(std::string_view text, uint16_t& nValue)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 4)
        return false;
    unsigned nResult = 0;
    for (char c : text) {
        unsigned nDigit = 0;
        if (c >= '0' && c <= '9')
            nDigit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            nDigit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            nDigit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        nResult = nResult * 16 + nDigit;
    }
    nValue = static_cast<uint16_t>(nResult);
    return true;
}

} // namespace

const char* SimUsage()
{
    return "usage: quado-sim [options]\n"
           "Creates virtual Dravik adapters (USB HID 10c4:8253) through /dev/uhid and\n"
           "sends a game board's UART lines through them. Needs root (or access to /dev/uhid).\n"
           "\n"
           "  --serial S          serial number string of the next adapter (repeatable)\n"
           "  --count N           number of adapters (default: one per --serial, at least 1)\n"
           "  --demo              play a built-in game: start prompt, a won, a lost and a\n"
           "                      timed-out round, then again\n"
           "  --speed F           play the demo F times faster (default 1)\n"
           "  --input FILE|-      send the lines of FILE, or standard input as it arrives\n"
           "  --interval MS       pause between the lines of an input file (default 0)\n"
           "  --exit-after-input  remove the adapters once the input or one demo is sent\n"
           "  --trace FILE        write every feature transfer the adapters see\n"
           "  --rts-cts           power on with RTS/CTS flow control\n"
           "  --refuse            answer every connect request as already connected\n"
           "  --usb-ids VVVV:PPPP other vendor and product ids (a device that is no adapter)\n"
           "  --verbose           print every feature transfer on standard error\n"
           "\n"
           "UART data reaches an adapter only while a program has it open with its UART\n"
           "enabled; it waits until then. Ctrl-C removes the adapters.\n";
}

bool ParseSimOptions(int argc, char** argv, SimOptions& options, std::string& strError)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool bHasValue = i + 1 < argc;
        auto value = [&]() { return argv[++i]; };
        auto needsValue = [&]() {
            strError = std::string(arg) + " needs a value";
            return false;
        };
        if (arg == "--help" || arg == "-h") {
            options.bHelp = true;
        } else if (arg == "--demo") {
            options.bDemo = true;
        } else if (arg == "--exit-after-input") {
            options.bExitAfterInput = true;
        } else if (arg == "--rts-cts") {
            options.bRtsCts = true;
        } else if (arg == "--refuse") {
            options.bRefuse = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.bVerbose = true;
        } else if (arg == "--serial") {
            if (!bHasValue)
                return needsValue();
            options.serials.emplace_back(value());
            if (options.serials.back().empty() || options.serials.back().size() > 63) {
                strError = "a serial number has 1 to 63 characters";
                return false;
            }
        } else if (arg == "--count") {
            double fValue = 0;
            if (!bHasValue)
                return needsValue();
            if (!ParseNumber(value(), 1, MaxAdapters, fValue) || fValue != static_cast<unsigned>(fValue)) {
                strError = "--count takes 1 to " + std::to_string(MaxAdapters);
                return false;
            }
            options.nCount = static_cast<unsigned>(fValue);
        } else if (arg == "--input") {
            if (!bHasValue)
                return needsValue();
            options.strInput = value();
        } else if (arg == "--speed") {
            if (!bHasValue)
                return needsValue();
            if (!ParseNumber(value(), 0.01, 1000, options.fSpeed)) {
                strError = "--speed takes a factor from 0.01 to 1000";
                return false;
            }
        } else if (arg == "--interval") {
            double fValue = 0;
            if (!bHasValue)
                return needsValue();
            if (!ParseNumber(value(), 0, 3600000, fValue)) {
                strError = "--interval takes milliseconds";
                return false;
            }
            options.nInterval = std::chrono::milliseconds(static_cast<long long>(fValue));
        } else if (arg == "--trace") {
            if (!bHasValue)
                return needsValue();
            options.strTrace = value();
        } else if (arg == "--usb-ids") {
            if (!bHasValue)
                return needsValue();
            const std::string_view ids = value();
            const std::size_t nColon = ids.find(':');
            if (nColon == std::string_view::npos || !ParseHex16(ids.substr(0, nColon), options.nVendorId) ||
                !ParseHex16(ids.substr(nColon + 1), options.nProductId)) {
                strError = "--usb-ids takes VVVV:PPPP, two hex numbers of up to four digits (0x allowed), not \"" +
                           std::string(ids) + "\"";
                return false;
            }
        } else {
            strError = "unknown option " + std::string(arg) + " (try --help)";
            return false;
        }
    }
    if (options.bDemo && !options.strInput.empty()) {
        strError = "--demo and --input exclude each other";
        return false;
    }
    if (options.nCount == 0)
        options.nCount = options.serials.empty() ? 1 : static_cast<unsigned>(options.serials.size());
    if (options.serials.size() > options.nCount) {
        strError = "more serial numbers than adapters";
        return false;
    }
    return true;
}

std::string SerialFor(const SimOptions& options, unsigned nIndex)
{
    if (nIndex < options.serials.size())
        return options.serials[nIndex];
    char text[16];
    std::snprintf(text, sizeof text, "%04u", nIndex + 1);
    if (options.serials.empty())
        return std::string(DefaultSerialBase) + text;
    return options.serials.back() + "-" + std::to_string(nIndex + 1);
}
