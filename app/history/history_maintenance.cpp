#include "app/history/history_maintenance.h"

#include <sys/stat.h>

#include <set>

#include "app/history/history_defaults.h"

namespace dvk {

bool pathExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::string cleaningPrefix(const std::string& folder) {
    std::string p = folder;
    while (!p.empty() && p.back() == '/') p.pop_back();
    return p + "/";
}

std::vector<HistoryMO> recordsOfVanishedFiles(HistoryStore& store, const std::string& folder, const PathExists& exists,
                                              std::string* error) {
    const std::string prefix = cleaningPrefix(folder);
    // Compared as bytes: no case folding and no wildcards.
    std::vector<HistoryMO> below = store.fetchWhere(
        "substr(CAST(sourceFile AS BLOB), 1, ?) = CAST(? AS BLOB)",
        {SettingsValue(static_cast<long long>(prefix.size())), SettingsValue(prefix)}, error);
    std::vector<HistoryMO> vanished;
    for (HistoryMO& r : below) {
        const std::string source = r.sourceFile();
        if (source.compare(0, prefix.size(), prefix) != 0) continue;
        if (!exists(source)) vanished.push_back(std::move(r));
    }
    return vanished;
}

std::optional<std::string> replacedSource(const std::string& source, const std::string& replace,
                                          const std::string& replacement) {
    if (replace.empty()) return std::nullopt;
    const std::size_t at = source.find(replace);
    if (at == std::string::npos) return std::nullopt;
    std::string t = source;
    t.replace(at, replace.size(), replacement);
    return t;
}

bool renameAllowed(const std::string& source, const std::string& target, const PathExists& exists) {
    const bool sourceFolder = !source.empty() && source.back() == '/';
    const bool targetFolder = !target.empty() && target.back() == '/';
    return sourceFolder == targetFolder && exists(target);
}

std::vector<std::string> processPaths(const std::vector<std::string>& paths) {
    std::set<std::string> folders;
    for (const std::string& p : paths) {
        if (p.empty()) continue;
        std::string folder = p.back() == '/' ? p : enclosingFolderWithSlash(p);
        if (folder != "/") folders.insert(folder);
    }
    return {folders.begin(), folders.end()};
}

}  // namespace dvk
