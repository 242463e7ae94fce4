#include "tools/quado-replay/ReplayOptions.h"

#include <charconv>

namespace {

// A whole decimal number, nothing before or after it.
bool ParseNumber(const std::string& str, long long& nValue)
{
    if (str.empty())
        return false;
    const char* pEnd = str.data() + str.size();
    const auto [pStop, error] = std::from_chars(str.data(), pEnd, nValue);
    return error == std::errc() && pStop == pEnd;
}

// A decimal such as 2 or 1.25, nothing before or after it.
bool ParseDecimal(const std::string& str, double& dValue)
{
    if (str.empty())
        return false;
    const char* pEnd = str.data() + str.size();
    const auto [pStop, error] = std::from_chars(str.data(), pEnd, dValue, std::chars_format::fixed);
    return error == std::errc() && pStop == pEnd;
}

bool ParseClientSize(const std::string& str, int& nWidth, int& nHeight)
{
    const size_t nX = str.find('x');
    long long nW = 0;
    long long nH = 0;
    if (nX == std::string::npos || !ParseNumber(str.substr(0, nX), nW) || !ParseNumber(str.substr(nX + 1), nH))
        return false;
    if (nW < 1 || nH < 1 || nW > ReplayOptions::MaxClientSide || nH > ReplayOptions::MaxClientSide)
        return false;
    nWidth = static_cast<int>(nW);
    nHeight = static_cast<int>(nH);
    return true;
}

} // namespace

bool ParseReplayOptions(const std::vector<std::string>& args, ReplayOptions& options, std::string& strError)
{
    bool bHaveInput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& strArg = args[i];
        if (strArg == "--help") {
            options.bHelp = true;
            return true;
        }
        const bool bTakesValue = strArg == "--chunk" || strArg == "--client" || strArg == "--out" ||
                                 strArg == "--device-pixel-ratio" || strArg == "--records";
        if (bTakesValue && i + 1 >= args.size()) {
            strError = strArg + " needs a value";
            return false;
        }
        if (strArg == "--chunk") {
            long long nChunk = 0;
            if (!ParseNumber(args[++i], nChunk) || nChunk < 1 || nChunk > static_cast<long long>(ReplayOptions::MaxChunk)) {
                strError = "--chunk takes a number from 1 to 64, not '" + args[i] + "'";
                return false;
            }
            options.nChunk = static_cast<size_t>(nChunk);
        } else if (strArg == "--client") {
            if (!ParseClientSize(args[++i], options.nClientWidth, options.nClientHeight)) {
                strError = "--client takes WIDTHxHEIGHT (1 to 16384 each), not '" + args[i] + "'";
                return false;
            }
        } else if (strArg == "--out") {
            options.strOutDir = args[++i];
            if (options.strOutDir.empty()) {
                strError = "--out needs a directory";
                return false;
            }
        } else if (strArg == "--records") {
            options.strRecordsFile = args[++i];
            if (options.strRecordsFile.empty()) {
                strError = "--records needs a file";
                return false;
            }
        } else if (strArg == "--device-pixel-ratio") {
            double dRatio = 0.0;
            if (!ParseDecimal(args[++i], dRatio) || !(dRatio >= 1.0 && dRatio <= ReplayOptions::MaxDevicePixelRatio)) {
                strError = "--device-pixel-ratio takes a number from 1 to 8, not '" + args[i] + "'";
                return false;
            }
            options.dDevicePixelRatio = dRatio;
        } else if (strArg == "--fit") {
            options.bFitToScreen = true;
        } else if (strArg == "--mute") {
            options.bMute = true;
        } else if (strArg == "--scale-down") {
            options.bScaleDown = true;
        } else if (strArg == "--symbols") {
            options.bShapes = true;
        } else if (strArg.size() > 1 && strArg[0] == '-') {
            strError = "unknown option '" + strArg + "'";
            return false;
        } else if (bHaveInput) {
            strError = "more than one INPUT given ('" + options.strInput + "', '" + strArg + "')";
            return false;
        } else {
            options.strInput = strArg;
            bHaveInput = true;
        }
    }
    if (!bHaveInput) {
        strError = "no INPUT given";
        return false;
    }
    return true;
}
