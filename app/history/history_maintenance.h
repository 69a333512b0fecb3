// The rules of tidying the history: which records a cleaning deletes, how a
// moved source is renamed, and the folders a list of paths lies in.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/history/history_record.h"
#include "app/history/history_store.h"

namespace dvk {

using PathExists = std::function<bool(const std::string&)>;
// Whether anything exists at a path (a path ending in "/" only as a folder).
bool pathExists(const std::string& path);

// The prefix a cleaning of `folder` matches: the folder with one "/" at its end.
std::string cleaningPrefix(const std::string& folder);
// The records below `folder` (their sourceFile begins with the prefix byte
// for byte: case counts, "%" and "_" are plain characters) whose sourceFile
// no longer exists. A folder default whose folder exists stays.
std::vector<HistoryMO> recordsOfVanishedFiles(HistoryStore& store, const std::string& folder, const PathExists& exists,
                                              std::string* error = nullptr);

// The source a rename gives: `source` with the first occurrence of `replace`
// (case counts) replaced by `replacement`. nullopt when `source` does not
// hold `replace`.
std::optional<std::string> replacedSource(const std::string& source, const std::string& replace,
                                          const std::string& replacement);
// Whether the rename from `source` to `target` may be made: the target
// exists, and both are folder paths (ending in "/") or both are not.
bool renameAllowed(const std::string& source, const std::string& target, const PathExists& exists);

// processPaths: the distinct folders (with "/" at the end) of the paths: a
// path ending in "/" stands for itself, any other for its folder; empty
// paths and "/" are left out. Sorted.
std::vector<std::string> processPaths(const std::vector<std::string>& paths);

}  // namespace dvk
