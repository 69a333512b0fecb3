#include "app/batch/raw_path_trace.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "app/history/history_store.h"
#include "app/history/text_match.h"
#include "pipeline/writers/output_naming.h"
#include "platform/log.h"

namespace dvk {

namespace {

std::string lower_extension(const std::string& path) { return foldText(path_extension(path), kFoldCase); }

bool stat_exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string stemKey(const std::string& path) {
    std::string key = "/";
    key += deleting_path_extension(last_path_component(path));
    key += '.';
    return foldText(key, kFoldCase);
}

bool isTiffOrJpegPath(const std::string& path) {
    const std::string e = lower_extension(path);
    return e == "jpeg" || e == "jpg" || e == "tiff" || e == "tif";
}

bool isSettingsFilePath(const std::string& path) { return lower_extension(path) == "dvks"; }

std::optional<std::string> traceRawFileForTiffJpeg(const std::string& path, const RawTraceSources& sources) {
    static const char* const kMethod = "Controller::getRAWPathForTiffJpeg";
    if (!isTiffOrJpegPath(path)) return std::nullopt;
    const auto exists = sources.exists ? sources.exists : std::function<bool(const std::string&)>(stat_exists);
    const std::string key = stemKey(path);
    const std::string name = last_path_component(path);
    const std::string folder = deleting_last_path_component(path);

    // 1. The same folder.
    if (DIR* dir = opendir(folder.empty() ? "." : folder.c_str())) {
        std::optional<std::string> found;
        while (dirent* entry = readdir(dir)) {
            const std::string entryName = entry->d_name;
            if (entryName == "." || entryName == ".." || entryName == name) continue;
            if (stemKey(entryName) != key) continue;
            const std::string full = appending_path_component(folder, entryName);
            if (sources.isRawFile && sources.isRawFile(full)) {
                found = full;
                break;
            }
        }
        closedir(dir);
        if (found) return found;
    } else {
        log_line("%s %s: %s", kMethod, folder.c_str(), std::strerror(errno));
    }

    if (!sources.store || !sources.store->isOpen()) return std::nullopt;
    HistoryStore& store = *sources.store;
    const std::string fold = std::to_string(static_cast<int>(kFoldCase));
    auto first_existing = [&](const std::string& condition, const std::string& value,
                              const std::function<bool(const HistoryMO&)>& counts) -> std::optional<std::string> {
        std::string error;
        std::vector<HistoryMO> records = store.fetchWhere(condition, {SettingsValue(value)}, &error);
        if (!error.empty()) log_line("%s %s", kMethod, error.c_str());
        for (const HistoryMO& r : records) {
            const std::string source = r.sourceFile();
            // Never the chosen file itself, under this name or another.
            if (source.empty() || source == path || same_existing_file(source, path)) continue;
            if (exists(source) && counts(r)) return source;
        }
        return std::nullopt;
    };
    auto any = [](const HistoryMO&) { return true; };
    // 2. Exactly this file written. 3. A file of this stem written. 4. A raw file of this stem.
    if (auto r = first_existing("dvk_fold(destinationFile, " + fold + ") = dvk_fold(?, " + fold + ")", path, any))
        return r;
    if (auto r = first_existing("instr(dvk_fold(destinationFile, " + fold + "), dvk_fold(?, " + fold + ")) > 0", key,
                                any))
        return r;
    return first_existing("instr(dvk_fold(sourceFile, " + fold + "), dvk_fold(?, " + fold + ")) > 0", key,
                          [&](const HistoryMO& r) { return stemKey(r.sourceFile()) == key; });
}

}  // namespace dvk
