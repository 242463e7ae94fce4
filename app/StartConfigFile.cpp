#include "app/StartConfigFile.h"

#include <algorithm>
#include <fstream>
#include <set>

#include "protocol/WriteTarget.h"

namespace {

// A start-options file is a few lines; anything much larger is not one.
constexpr std::streamoff MaxConfigFileBytes = 64 * 1024;

std::string Trimmed(const std::string& str)
{
    const size_t nFirst = str.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos)
        return {};
    const size_t nLast = str.find_last_not_of(" \t\r");
    return str.substr(nFirst, nLast - nFirst + 1);
}

bool IsKeyChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// The option names the command line gives ("--name" or "--name=value").
std::set<std::string> CommandLineNames(const std::vector<std::string>& args)
{
    std::set<std::string> names;
    for (const std::string& arg : args) {
        if (arg.rfind("--", 0) == 0 && arg.size() > 2)
            names.insert(arg.substr(2, arg.find('=') == std::string::npos ? std::string::npos : arg.find('=') - 2));
    }
    return names;
}

std::string AtLine(const std::string& strPath, int nLine, const std::string& strReason)
{
    return strPath + ":" + std::to_string(nLine) + ": " + strReason;
}

} // namespace

bool ReadConfigFile(const std::string& strPath, std::vector<ConfigFileEntry>& entries, std::string& strError)
{
    entries.clear();
    // A named pipe would hold the start for ever, a folder reads as nothing.
    const PathKind nKind = KindAt(strPath);
    if (nKind == PathKind::Nothing) {
        strError = strPath + ": no such file (--config)";
        return false;
    }
    if (nKind != PathKind::File) {
        strError = strPath + ": not a file (--config)";
        return false;
    }
    std::ifstream file(strPath, std::ios::binary);
    if (!file) {
        strError = strPath + ": cannot be read (--config)";
        return false;
    }
    file.seekg(0, std::ios::end);
    if (file.tellg() > MaxConfigFileBytes) {
        strError = strPath + ": too large for a file of start options (--config)";
        return false;
    }
    file.seekg(0);
    std::string strText;
    int nLine = 0;
    while (std::getline(file, strText)) {
        ++nLine;
        if (nLine == 1 && strText.rfind("\xEF\xBB\xBF", 0) == 0)
            strText.erase(0, 3);
        if (strText.find('\0') != std::string::npos) {
            strError = AtLine(strPath, nLine, "not a line of text");
            return false;
        }
        const std::string strLine = Trimmed(strText);
        if (strLine.empty() || strLine[0] == '#' || strLine[0] == ';')
            continue;
        if (strLine[0] == '[') {
            if (strLine != "[quado]") {
                strError = AtLine(strPath, nLine, "unknown section '" + strLine + "' (only [quado])");
                return false;
            }
            continue;
        }
        const size_t nEquals = strLine.find('=');
        const std::string strKey = Trimmed(strLine.substr(0, nEquals));
        std::string strValue = nEquals == std::string::npos ? std::string() : Trimmed(strLine.substr(nEquals + 1));
        if (strKey.rfind("-", 0) == 0) {
            strError = AtLine(strPath, nLine, "'" + strKey + "': keys are written without dashes");
            return false;
        }
        if (strKey.empty() || !std::all_of(strKey.begin(), strKey.end(), IsKeyChar)) {
            strError = AtLine(strPath, nLine, "'" + strKey + "' is not a key (key=value, the long option's name)");
            return false;
        }
        if (strKey == "config" || strKey == "help" || strKey == "version") {
            strError = AtLine(strPath, nLine, "'" + strKey + "' only on the command line");
            return false;
        }
        const auto itEntry = std::find_if(entries.begin(), entries.end(),
                                          [&](const ConfigFileEntry& entry) { return entry.strKey == strKey; });
        if (itEntry != entries.end()) {
            strError = AtLine(strPath, nLine, "'" + strKey + "' given twice (first on line " +
                                                  std::to_string(itEntry->nLine) + ")");
            return false;
        }
        // Quotes only keep spaces at the ends; the value is taken as it is.
        if (strValue.size() >= 2 && strValue.front() == '"' && strValue.back() == '"')
            strValue = strValue.substr(1, strValue.size() - 2);
        ConfigFileEntry entry;
        entry.nLine = nLine;
        entry.strKey = strKey;
        if (nEquals == std::string::npos || strValue == "true")
            entry.strArg = "--" + strKey;
        else if (strValue != "false")
            entry.strArg = "--" + strKey + "=" + strValue;
        entries.push_back(entry);
    }
    if (file.bad()) {
        strError = strPath + ": cannot be read (--config)";
        return false;
    }
    return true;
}

StartOptionsResult ParseStartOptionsWithConfig(const std::vector<std::string>& args, bool bDemo)
{
    StartOptionsResult result = ParseStartOptions(args, bDemo);
    const std::string strPath = result.options.instance.strConfigFile;
    if (!result.strError.empty() || strPath.empty() || result.options.bHelp || result.options.bVersion)
        return result;
    std::vector<ConfigFileEntry> entries;
    if (!ReadConfigFile(strPath, entries, result.strError))
        return result;

    const std::set<std::string> commandLine = CommandLineNames(args);
    std::vector<std::string> combined;
    std::vector<const ConfigFileEntry*> used;
    for (const ConfigFileEntry& entry : entries) {
        // Every key must be an option, even one the command line overrides.
        const StartOptionsResult alone = ParseStartOptions({"--" + entry.strKey}, bDemo);
        if (alone.strError.rfind("unknown option", 0) == 0) {
            result.strError = AtLine(strPath, entry.nLine, "unknown key '" + entry.strKey + "'");
            return result;
        }
        if (commandLine.count(entry.strKey) != 0 || entry.strArg.empty())
            continue;
        combined.push_back(entry.strArg);
        used.push_back(&entry);
    }
    // The file first: where an option is given twice, the later one counts.
    combined.insert(combined.end(), args.begin(), args.end());
    StartOptionsResult merged = ParseStartOptions(combined, bDemo);
    if (merged.strError.empty())
        return merged;
    for (const ConfigFileEntry* pEntry : used) {
        const StartOptionsResult alone = ParseStartOptions({pEntry->strArg}, bDemo);
        if (alone.strError != merged.strError)
            continue;
        if (alone.strError.find("takes no value") != std::string::npos) {
            const std::string strValue = pEntry->strArg.substr(pEntry->strArg.find('=') + 1);
            merged.strError = AtLine(strPath, pEntry->nLine, "'" + pEntry->strKey + "' takes true or false, not '" +
                                                                 strValue + "'");
        } else {
            merged.strError = AtLine(strPath, pEntry->nLine, merged.strError);
        }
        break;
    }
    return merged;
}
