// Finding files by name when their records point to a place where they are
// no longer: a bounded walk over the user's home and the mounted volumes
// (/media, /run/media, /mnt) for entries whose name equals a given name
// exactly (case included). Hidden folders are not entered, links to folders
// not followed; the walk goes 16 folders deep at most and gives up after 15
// seconds.
//
// FileSearch keeps the hits by name in a locked cache. searchForFile waits
// for a walk when the name is not cached; hasCandidatesNow never waits: it
// answers from the cache, else asks for a walk on its own thread (one walk
// for every name asked meanwhile) and tells its listeners when it ends.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/common/owned_threads.h"

namespace dvk {

// A file or folder found: its name, its path ("/" appended for a folder) and
// its type ("public.folder" or "public.data").
struct FileSearchHit {
    std::string name, path, type;
    bool operator==(const FileSearchHit&) const = default;
};

struct FileSearchOptions {
    std::vector<std::string> roots;  // empty: defaultSearchRoots()
    int maxDepth = 16;               // entries this many folders below a root at most
    std::chrono::milliseconds timeLimit{15000};
};

// $HOME, /media, /run/media and /mnt, those that exist (a root inside
// another is left out).
std::vector<std::string> defaultSearchRoots();

// One walk for every name; the hits of each name found (in walk order).
std::map<std::string, std::vector<FileSearchHit>> findFilesNamed(const std::set<std::string>& names,
                                                                 const FileSearchOptions& options,
                                                                 const std::function<bool()>& stopRequested = {});

class FileSearch {
public:
    explicit FileSearch(FileSearchOptions options = {});
    ~FileSearch();
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;

    // Hits for the last path component of `path`; cached.
    std::vector<FileSearchHit> searchForFile(const std::string& path);
    // Empties the cache.
    void clear();
    // A fresh walk for the last components of all paths (each once); the
    // cache takes the new hits. Hits in the order of the paths.
    std::vector<FileSearchHit> searchForFiles(const std::vector<std::string>& paths);
    // Whether a search for the path's name found anything; nullopt while it
    // is not known yet (a walk for it is then asked for). Never waits.
    std::optional<bool> hasCandidatesNow(const std::string& path);

    // Called on the walk's thread when a background walk has ended.
    int addListener(std::function<void()> listener);
    void removeListener(int token);

private:
    void backgroundWalks();
    std::map<std::string, std::vector<FileSearchHit>> walk(const std::set<std::string>& names);

    FileSearchOptions options_;
    std::mutex mutex_;
    std::map<std::string, std::vector<FileSearchHit>> cache_;  // by name
    std::set<std::string> pending_;
    bool walking_ = false;
    std::map<int, std::function<void()>> listeners_;
    int nextListener_ = 1;
    OwnedThreads threads_;  // last: joined before the rest goes
};

}  // namespace dvk
