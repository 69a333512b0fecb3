// Expanding a choice of files and folders into the list of files it names.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dvk {

// Every existing file among `paths` (as it is, whatever its name) and every
// file below every existing folder among them (no ".DS_Store" found inside a
// folder, no folders, and no link to a folder followed), sorted by plain
// byte order. "file://" URLs are taken as their paths; paths where nothing
// exists are skipped. `added` is called once for each file as it is found.
std::vector<std::string> expandPaths(const std::vector<std::string>& paths, const std::function<void()>& added = {});

// The path of a "file://" URL (percent escapes decoded); other text as it is.
std::string pathFromFileURL(const std::string& text);

}  // namespace dvk
