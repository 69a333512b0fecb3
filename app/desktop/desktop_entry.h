// Desktop entries (".desktop" files), the application bundles of this
// platform: what the program needs of one to start the application with
// files, following the freedesktop Desktop Entry rules for the Exec key.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dvk {

struct DesktopEntry {
    std::string path;  // the file itself (%k)
    std::string name;  // Name (%c)
    std::string icon;  // Icon (%i)
    std::string exec;  // Exec, with the string escapes undone
};

// Whether `path` names a desktop entry (by its extension).
bool isDesktopEntryPath(const std::string& path);

// Reads the [Desktop Entry] group of `path`; nullopt with a reason when the
// file cannot be read, is no application entry or has no Exec key.
std::optional<DesktopEntry> readDesktopEntry(const std::string& path, std::string* error);

// The argument vectors that open `files` (absolute paths) with `entry`: one
// vector with %F / %U, one per file with %f / %u when there are several
// files, and one without files when the entry takes none. nullopt with a
// reason when the Exec value breaks the quoting rules or holds an unknown
// field code.
std::optional<std::vector<std::vector<std::string>>> desktopEntryCommands(const DesktopEntry& entry,
                                                                          const std::vector<std::string>& files,
                                                                          std::string* error);

}  // namespace dvk
