// Whether a path Quado is about to write names a file of its own: a device,
// a named pipe, a socket or a folder standing there is never written into
// nor replaced. Plain C++, shared by the records and the venue's files.
#pragma once

#include <string>

enum class PathKind { Nothing, File, Folder, Device, Pipe, Socket, Link, Other };

// What stands at strPath: through symbolic links when bFollow, else the link
// itself. A path that cannot be looked at (no permission on a folder on the
// way) counts as Nothing: writing there fails with its own reason.
PathKind KindAt(const std::string& strPath, bool bFollow = true);

// Empty when strPath names a file or nothing (through links); else the
// refusal, "PATH is a device, not a file".
std::string RefuseNonFile(const std::string& strPath);

// Right before a temporary file is renamed over strPath: true when a file or
// nothing stands there (the link itself, not its target, is what a rename
// replaces); else strWhy says what does.
bool MayReplace(const std::string& strPath, std::string& strWhy);
