// Metadata through exiftool: the info text of an opened raw file, and the
// copy of a raw file's tags (and of its ".xmp" sidecar) into each written
// file.
//
// The tool is /usr/bin/exiftool, or the program named by DVK_DEV_EXIFTOOL.
// Both runs go through the process runner (argument vectors, never a shell;
// output read while the tool runs; killed and reaped after a time limit).
// Nothing here is ever reported to the user: a missing or failing tool
// leaves the info text empty, or the written file without the copied tags,
// with what went wrong in the log.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

class RawProcessor;

// The program set by setExiftoolProgram, else the DVK_DEV_EXIFTOOL hook when
// set and not empty, else "/usr/bin/exiftool".
std::string exiftoolPath();
// Runs `path` in place of exiftool from now on (empty: back to the default).
void setExiftoolProgram(const std::string& path);

inline constexpr std::chrono::milliseconds kExifInfoTimeLimit{60000};
inline constexpr std::chrono::milliseconds kExifCopyTimeLimit{120000};

// File names reach exiftool as absolute paths, so that a name beginning
// with "-" is never taken for an option.

// The info run's arguments: the tags shown first, then all, in the short
// "Tag: value" form, then the raw file.
std::vector<std::string> exifInfoArguments(const std::string& rawPath);

// runExifToolForInfo: the tool's standard output for `rawPath` (UTF-8, or
// Latin-1 bytes made UTF-8 when it is not), or nullopt when the tool could not
// run or went past `limit`. `progressed` (may be empty) is called once the run
// starts (the caller adds 5 to the progress). Its standard error goes to the log.
std::optional<std::string> runExifToolForInfo(const std::string& rawPath, const std::function<void()>& progressed = {},
                                              std::chrono::milliseconds limit = kExifInfoTimeLimit);

// A tag copy: from the raw file `fileName` into the written file `ofname`.
// `make` is the raw file's camera make, taken when the request is made, so a
// copy that runs after the controller has moved on still uses its own file's.
struct TagCopyRequest {
    std::string fileName;
    std::string ofname;
    std::string make;
};

// The request for the file `processor` holds and the file just written from it.
TagCopyRequest makeTagCopyRequest(const RawProcessor& processor, const std::string& writtenFile);

// The raw path with its extension replaced by "xmp" (appended when it has none).
std::string sidecarPathFor(const std::string& rawPath);

// exiftool reads the name after -TagsFromFile as a pattern: "%d", "%f", "%e"
// and its other codes stand for parts of the written file's name, and it has
// no way to write a "%" of a name. A source whose name holds a "%" reaches it
// as a link of a plain name to that file, in a private folder that lives as
// long as this object.
class PlainSourceNames {
public:
    PlainSourceNames() = default;
    ~PlainSourceNames();
    PlainSourceNames(const PlainSourceNames&) = delete;
    PlainSourceNames& operator=(const PlainSourceNames&) = delete;
    // `path` itself when it holds no "%", else a link to it (the path itself
    // when no link can be made: the copy then fails and says so).
    std::string nameFor(const std::string& path);

private:
    std::string folder_;
    std::vector<std::string> links_;
};

// The copy run's arguments: the sidecar's tags first when it exists, then the
// raw file's; a Phase One make is written as "PhaseOne" without maker notes.
// With `plain`, source names holding a "%" are given as plain links.
std::vector<std::string> tagCopyArguments(const TagCopyRequest& request, PlainSourceNames* plain = nullptr);

// The tag-copy run on the calling thread: `childs` counts it while it runs.
// Returns true when the tool ended with status 0 and opened every source
// (it ends with 0 when a source could not be opened). Otherwise logs
// "ExifTool result: [output]" and, to show who holds the file, the PID and
// command name of each process that holds the written file or an entry of
// its folder whose name begins with its name ("PATH is held by 812 gimp",
// or "PATH is held by no process"); nothing of other processes, and no
// process's arguments. All of it goes to standard error (the log), never
// to standard output.
bool runExifToolToCopyTags(const TagCopyRequest& request, std::atomic<int>& childs,
                           std::chrono::milliseconds limit = kExifCopyTimeLimit);

// The same run for a caller that has already counted it in `childs`.
bool copyTagsCounted(const TagCopyRequest& request, std::chrono::milliseconds limit = kExifCopyTimeLimit);

// The entry the save, batch and launch roads call (on a worker thread, or on
// the main thread for a single save): no request, nothing done.
void runExifToolToCopyTagsInThread(const std::optional<TagCopyRequest>& request, std::atomic<int>& childs);

// The files of the "who holds it" report: the written file and the names
// beginning with its name in its folder, sorted (the file alone when there
// are none).
std::vector<std::string> fileHoldersArguments(const std::string& writtenFile);

// Bytes as text: kept when they are UTF-8, else each byte taken as Latin-1.
std::string decodeToolOutput(const std::string& bytes);

}  // namespace dvk
