#include "protocol/ModuleLoader.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

std::string ProgramFolder()
{
    char szPath[4096];
    const ssize_t n = readlink("/proc/self/exe", szPath, sizeof szPath - 1);
    if (n <= 0)
        return std::string();
    const std::string strPath(szPath, static_cast<size_t>(n));
    const size_t nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash == 0 ? 1 : nSlash);
}

bool IsFile(const std::string& strPath)
{
    struct stat st{};
    return stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& strPath)
{
    struct stat st{};
    return stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// /proc/self/exe has every link resolved; so must what it is compared with.
std::string RealPath(const char* pszPath)
{
    char* pszReal = realpath(pszPath, nullptr);
    std::string str = pszReal ? pszReal : pszPath;
    std::free(pszReal);
    return str;
}

std::string Joined(const std::vector<std::string>& vecFolders)
{
    std::string str;
    for (const std::string& strFolder : vecFolders)
        str += (str.empty() ? "" : ", ") + strFolder;
    return str;
}

void* Open(const std::string& strPath, const char* pszSymbol, std::string& strError)
{
    dlerror();
    // Every symbol bound now: a module built against another Quado fails
    // here, with its name, rather than later in the middle of a call.
    void* pHandle = dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!pHandle) {
        const char* pszError = dlerror();
        strError = "cannot load " + strPath + ": " + (pszError ? pszError : "unknown error");
        return nullptr;
    }
    void* pSymbol = dlsym(pHandle, pszSymbol);
    if (!pSymbol) {
        strError = strPath + " is not a module of this Quado version (it lacks " + pszSymbol + ")";
        return nullptr;
    }
    return pSymbol;
}

} // namespace

std::vector<std::string> ModuleFolders()
{
    if (const char* pszOverride = std::getenv("QUADO_MODULE_DIR"); pszOverride && *pszOverride)
        return {pszOverride};
    const std::string strProgram = ProgramFolder();
    if (strProgram.empty())
        return {};
    std::vector<std::string> vecFolders{strProgram, strProgram + "/" QUADO_MODULE_FROM_PROGRAM};
    // A tool or test where the build made it uses the build's modules;
    // never an installed program, not even one installed into a folder of
    // the build tree (the package test's): only the build's own output
    // folders hold CMake's records beside the program.
    const std::string strBuildTree = RealPath(QUADO_BUILD_TREE) + "/";
    if ((strProgram + "/").compare(0, strBuildTree.size(), strBuildTree) == 0 &&
        IsFolder(strProgram + "/CMakeFiles") && strProgram != RealPath(QUADO_BUILD_MODULE_DIR))
        vecFolders.push_back(QUADO_BUILD_MODULE_DIR);
    return vecFolders;
}

void* LoadModuleSymbol(const char* pszFile, const char* pszSymbol, std::string& strError)
{
    const std::vector<std::string> vecFolders = ModuleFolders();
    for (const std::string& strFolder : vecFolders) {
        const std::string strPath = strFolder + "/" + pszFile;
        // A module that is there but broken is told as such: an older copy
        // further on would only hide the fault.
        if (IsFile(strPath))
            return Open(strPath, pszSymbol, strError);
    }
    strError = std::string(pszFile) + " was not found in " + (vecFolders.empty() ? "any folder" : Joined(vecFolders));
    return nullptr;
}
