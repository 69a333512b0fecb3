// An output file that only appears under its name once it is complete: the
// data goes to a hidden temporary file in the destination folder, and
// commit() renames it over the destination. A SafeOutputFile that was not
// committed removes its temporary file.
#pragma once

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
    std::string path_, temp_;
    FILE* file_ = nullptr;
};

// The temporary files that SafeOutputFiles for `path` left behind (their
// process ended while writing), or that files written by replacement
// ("<path>.XXXXXX", `hidden` false) left: existing paths, for removal.
std::vector<std::string> leftover_temporary_files(const std::string& path, bool hidden = true);

}  // namespace dvk
