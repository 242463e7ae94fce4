#include "protocol/WriteTarget.h"

#include <sys/stat.h>

namespace {

const char* KindName(PathKind nKind)
{
    switch (nKind) {
    case PathKind::Folder:
        return "a folder";
    case PathKind::Device:
        return "a device";
    case PathKind::Pipe:
        return "a named pipe";
    case PathKind::Socket:
        return "a socket";
    case PathKind::Link:
        return "a symbolic link";
    default:
        return "something other than a file";
    }
}

} // namespace

PathKind KindAt(const std::string& strPath, bool bFollow)
{
    struct stat st {};
    if ((bFollow ? stat(strPath.c_str(), &st) : lstat(strPath.c_str(), &st)) != 0)
        return PathKind::Nothing;
    if (S_ISREG(st.st_mode))
        return PathKind::File;
    if (S_ISDIR(st.st_mode))
        return PathKind::Folder;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return PathKind::Device;
    if (S_ISFIFO(st.st_mode))
        return PathKind::Pipe;
    if (S_ISSOCK(st.st_mode))
        return PathKind::Socket;
    if (S_ISLNK(st.st_mode))
        return PathKind::Link;
    return PathKind::Other;
}

std::string RefuseNonFile(const std::string& strPath)
{
    const PathKind nKind = KindAt(strPath);
    if (nKind == PathKind::Nothing || nKind == PathKind::File)
        return {};
    return strPath + " is " + KindName(nKind) + ", not a file";
}

bool MayReplace(const std::string& strPath, std::string& strWhy)
{
    const PathKind nKind = KindAt(strPath, false);
    if (nKind == PathKind::Nothing || nKind == PathKind::File)
        return true;
    strWhy = strPath + " is now " + KindName(nKind) + ", not a file; it is left as it is";
    return false;
}
