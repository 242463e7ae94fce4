// Start options read from a file (--config FILE), so that a venue deploys
// one file per exhibit. Each line becomes the command-line option it names
// and goes through the same parser, so every start option works in a file
// with no code of its own. Plain C++, before the toolkit starts.
#pragma once

#include <string>
#include <vector>

#include "app/StartOptions.h"

// One option of the file, as the command line would give it.
struct ConfigFileEntry {
    int nLine = 0;
    std::string strKey;
    // "--key" or "--key=value"; empty for key=false (the option not given).
    std::string strArg;
};

// Reads the file: "key=value" or "key" per line, "#" or ";" at the start of
// a comment line, blank lines, an optional [quado] section header (any other
// section is refused). Keys may not repeat. False with the one line to print
// ("FILE:LINE: reason" or "FILE: reason").
bool ReadConfigFile(const std::string& strPath, std::vector<ConfigFileEntry>& entries, std::string& strError);

// The command line (args without the program's name) and, when it names one
// with --config, the file: an option the command line gives wins over the
// file's. A refusal that comes from the file names its file and line.
StartOptionsResult ParseStartOptionsWithConfig(const std::vector<std::string>& args, bool bDemo);
