#include "app/history/file_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "pipeline/settings/settings_file.h"

namespace dvk {

namespace {

bool is_folder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool inside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (folder.back() == '/' || path[folder.size()] == '/');
}

std::string without_trailing_slashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

struct Walk {
    const std::set<std::string>& names;
    const FileSearchOptions& options;
    const std::function<bool()>& stop;
    std::chrono::steady_clock::time_point deadline;
    std::map<std::string, std::vector<FileSearchHit>> hits;
    int checks = 0;

    bool over() {
        if ((++checks & 63) != 0) return false;
        return std::chrono::steady_clock::now() > deadline || (stop && stop());
    }

    // Lists `folder` (at `depth` below its root) and walks its sub-folders.
    bool folder(const std::string& path, int depth) {
        DIR* dir = opendir(path.c_str());
        if (!dir) return true;
        std::vector<std::string> subfolders;
        bool go_on = true;
        while (dirent* e = readdir(dir)) {
            if (over()) {
                go_on = false;
                break;
            }
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            std::string full = path;
            if (full != "/") full += '/';
            full += name;
            bool dir_entry = e->d_type == DT_DIR, link = e->d_type == DT_LNK;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st;
                if (lstat(full.c_str(), &st) != 0) continue;
                dir_entry = S_ISDIR(st.st_mode);
                link = S_ISLNK(st.st_mode);
            }
            // Links to folders are neither followed nor found.
            if (link && is_folder(full)) continue;
            if (names.count(name)) {
                if (dir_entry)
                    hits[name].push_back({name, full + "/", "public.folder"});
                else
                    hits[name].push_back({name, full, "public.data"});
            }
            if (dir_entry && name[0] != '.' && depth < options.maxDepth) subfolders.push_back(full);
        }
        closedir(dir);
        for (const std::string& sub : subfolders) {
            if (!go_on) break;
            go_on = folder(sub, depth + 1);
        }
        return go_on;
    }
};

}  // namespace

std::vector<std::string> defaultSearchRoots() {
    std::vector<std::string> candidates;
    if (const char* home = std::getenv("HOME"); home && *home) candidates.push_back(without_trailing_slashes(home));
    for (const char* volume : {"/media", "/run/media", "/mnt"}) candidates.push_back(volume);
    std::vector<std::string> existing, roots;
    for (const std::string& c : candidates)
        if (is_folder(c) && std::find(existing.begin(), existing.end(), c) == existing.end()) existing.push_back(c);
    for (const std::string& c : existing)
        if (std::none_of(existing.begin(), existing.end(), [&](const std::string& o) { return inside(c, o); }))
            roots.push_back(c);
    return roots;
}

std::map<std::string, std::vector<FileSearchHit>> findFilesNamed(const std::set<std::string>& names,
                                                                 const FileSearchOptions& options,
                                                                 const std::function<bool()>& stopRequested) {
    Walk w{names, options, stopRequested, std::chrono::steady_clock::now() + options.timeLimit, {}};
    if (names.empty()) return {};
    const std::vector<std::string> roots = options.roots.empty() ? defaultSearchRoots() : options.roots;
    for (const std::string& root : roots)
        if (!w.folder(without_trailing_slashes(root), 1)) break;
    return std::move(w.hits);
}

FileSearch::FileSearch(FileSearchOptions options) : options_(std::move(options)) {}

FileSearch::~FileSearch() {
    threads_.requestStop();
    threads_.joinAll();
}

std::map<std::string, std::vector<FileSearchHit>> FileSearch::walk(const std::set<std::string>& names) {
    return findFilesNamed(names, options_, [this] { return threads_.stopRequested(); });
}

std::vector<FileSearchHit> FileSearch::searchForFile(const std::string& path) {
    const std::string name = last_path_component(path);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = cache_.find(name); it != cache_.end()) return it->second;
    }
    auto found = walk({name});
    std::lock_guard<std::mutex> lock(mutex_);
    return cache_[name] = found[name];
}

void FileSearch::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    cache_.clear();
}

std::vector<FileSearchHit> FileSearch::searchForFiles(const std::vector<std::string>& paths) {
    std::vector<std::string> order;
    std::set<std::string> names;
    for (const std::string& p : paths) {
        const std::string name = last_path_component(p);
        if (!name.empty() && names.insert(name).second) order.push_back(name);
    }
    auto found = walk(names);
    std::vector<FileSearchHit> hits;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& name : order) {
        cache_[name] = found[name];
        hits.insert(hits.end(), found[name].begin(), found[name].end());
    }
    return hits;
}

std::optional<bool> FileSearch::hasCandidatesNow(const std::string& path) {
    const std::string name = last_path_component(path);
    if (name.empty()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = cache_.find(name); it != cache_.end()) return !it->second.empty();
    pending_.insert(name);
    if (!walking_) {
        walking_ = true;
        threads_.start([this] { backgroundWalks(); });
    }
    return std::nullopt;
}

void FileSearch::backgroundWalks() {
    for (;;) {
        std::set<std::string> names;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (pending_.empty() || threads_.stopRequested()) {
                walking_ = false;
                return;
            }
            names.swap(pending_);
        }
        auto found = walk(names);
        std::vector<std::function<void()>> listeners;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // A walk cut short by the program's end caches nothing.
            if (threads_.stopRequested()) continue;
            for (const std::string& name : names) cache_[name] = found[name];
            for (auto& [token, l] : listeners_) listeners.push_back(l);
        }
        for (auto& l : listeners) l();
    }
}

int FileSearch::addListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_[nextListener_] = std::move(listener);
    return nextListener_++;
}

void FileSearch::removeListener(int token) {
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.erase(token);
}

}  // namespace dvk
