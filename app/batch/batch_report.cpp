#include "app/batch/batch_report.h"

#include <fcntl.h>
#include <libraw/libraw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dvk {

namespace {

std::string files(std::size_t n) { return n == 1 ? "1 file" : std::to_string(n) + " files"; }

void append_list(std::string& text, const std::string& heading, const std::vector<BatchNote>& notes,
                 std::size_t shown) {
    if (notes.empty()) return;
    if (!text.empty()) text += "\n\n";
    text += heading + ":";
    for (std::size_t i = 0; i < notes.size() && i < shown; ++i) text += "\n" + notes[i].file + ": " + notes[i].text;
    if (notes.size() > shown) text += "\n... and " + std::to_string(notes.size() - shown) + " more (listed in the log)";
}

}  // namespace

std::string unreadableFileReason(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "a folder, not a file";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return "not a raw file of a known camera";
}

std::string loadFailureReason(int code) {
    switch (code) {
        case LIBRAW_FILE_UNSUPPORTED: return "not a raw file of a known camera";
        case LIBRAW_IO_ERROR: return "its data could not be read to the end (the file is cut short or damaged)";
        case LIBRAW_UNSUFFICIENT_MEMORY: return "not enough memory to load it";
        default: break;
    }
    if (code < 0) return std::string("it could not be loaded: ") + libraw_strerror(code);
    return "it could not be loaded (code " + std::to_string(code) + ")";
}

void BatchReport::notWritten(std::string file, std::string reason) {
    notWritten_.push_back({std::move(file), std::move(reason)});
}

void BatchReport::standIn(std::string file, std::string what) { standIns_.push_back({std::move(file), std::move(what)}); }

std::string BatchReport::text(std::size_t shown) const {
    std::string text;
    append_list(text, files(notWritten_.size()) + (notWritten_.size() == 1 ? " was" : " were") + " not written",
                notWritten_, shown);
    append_list(text, files(standIns_.size()) + (standIns_.size() == 1 ? " was" : " were") +
                          " developed with a stand-in",
                standIns_, shown);
    return text;
}

}  // namespace dvk
