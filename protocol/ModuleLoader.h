// Finds and opens the parts of Quado that are loaded only the first time
// they are wanted (the Records window with its charts, the broker link with
// its TLS stack): shared libraries next to the program, or in its installed
// library folder. Plain C++.
#pragma once

#include <string>
#include <vector>

// The folders a module is looked for in, in order: $QUADO_MODULE_DIR alone
// when it is set; else the program's own folder and the installed library
// folder beside it (<prefix>/lib/<multiarch>/quado for <prefix>/bin), and
// for a program inside the build tree, the build's module folder.
std::vector<std::string> ModuleFolders();

// Opens pszFile (e.g. "quado-mqtt.so") from the first folder that holds it
// and returns the address of pszSymbol in it. Null with a reason for a person in strError
// when the file is missing, cannot be loaded, or lacks the symbol (a module
// of another version). A module stays loaded for the rest of the run: threads
// it started may outlive the objects it made.
void* LoadModuleSymbol(const char* pszFile, const char* pszSymbol, std::string& strError);
