// An output file that only appears under its name once it is complete: the
// data goes to a hidden temporary file in the destination folder, and
// commit() renames it over the destination. A SafeOutputFile that was not
// committed removes its temporary file.
//
// The temporary file is named after the destination and its writer,
// ".<name>.dvk-<process id>-XXXXXX" (with only the start of a name too long
// for that to fit the file system), and the writer holds a lock on it until
// it is renamed or removed; what a killed writer left is found by that name
// and removed by the next write into the folder. A file replaced keeps its
// permission bits; a new one gets those a plain fopen would give.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace dvk {

class SafeOutputFile {
public:
    // Creates the temporary file beside `path`; on failure stream() is null
    // and errno tells why.
    explicit SafeOutputFile(std::string path);
    ~SafeOutputFile();
    SafeOutputFile(const SafeOutputFile&) = delete;
    SafeOutputFile& operator=(const SafeOutputFile&) = delete;

    FILE* stream() const { return file_; }
    const std::string& temp_path() const { return temp_; }
    // Closes the stream and renames the file to the destination. Returns false
    // (and removes the temporary file) when closing or renaming fails.
    bool commit();
    // Closes and removes the temporary file.
    void discard();

private:
    void unlock();

    std::string path_, temp_;
    FILE* file_ = nullptr;
    int lock_ = -1;  // a second descriptor of the temporary file, holding its lock
};

// The mkstemp template of the temporary file that process `pid` writes for
// `path`: ".<name>.dvk-<pid>-XXXXXX" in the same folder, the name cut short
// (in whole UTF-8 characters) where the whole would be longer than the file
// system allows.
std::string safe_output_template(const std::string& path, pid_t pid);

// The temporary files that SafeOutputFiles for `path` left behind (their
// process ended while writing; also ".<name>.XXXXXX", as earlier versions
// named them), or that files written by replacement ("<path>.XXXXXX",
// `hidden` false) left: existing paths, for removal.
std::vector<std::string> leftover_temporary_files(const std::string& path, bool hidden = true);

// Removes the temporary files in `folder` that SafeOutputFiles of ended
// processes left (never one a running process may still be writing) and
// answers their paths.
std::vector<std::string> remove_dead_writers_leftovers(const std::string& folder);

}  // namespace dvk
