// Folder functions shared by saving and the controller.
//
// createDirectoryPath makes a folder with all its missing parents (mode 0755).
// It never creates anything directly below a volume root ("/Volumes",
// "/media", "/media/<user>", "/run/media/<user>", "/mnt"), so a destination on
// a disk that is not mounted fails instead of filling the system disk.
// canCreateDirectoryPath tells, without making anything, whether
// createDirectoryPath could make the path: something is there already, or the
// nearest folder that exists above it is one this process may write in, and
// no missing level sits directly below a volume root. When either fails,
// errno says why (ENOENT for a folder below a volume root).
// resolveAliasPath follows a chain of symbolic links (the aliases of this
// platform) to the final target's path, or answers the path itself.
// exists_at tells whether anything is at a path (links followed; an empty
// path: nothing).
#pragma once

#include <string>

namespace dvk {

bool createDirectoryPath(const std::string& path);
bool canCreateDirectoryPath(const std::string& path);
std::string resolveAliasPath(const std::string& path);
bool exists_at(const std::string& path);

}  // namespace dvk
