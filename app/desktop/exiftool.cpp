#include "app/desktop/exiftool.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "app/hooks/dev_hooks.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/writers/output_naming.h"
#include "pipeline/writers/safe_output.h"
#include "platform/file_holders.h"
#include "platform/folder_functions.h"
#include "platform/log.h"
#include "platform/process_runner.h"

namespace dvk {

namespace {

bool is_utf8(const std::string& s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += extra + 1;
    }
    return true;
}

std::string folder_of(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A file name as exiftool gets it: absolute, so that a name
// beginning with "-" is never taken for an option.
std::string file_argument(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? "./" + path : absolute.string();
}

// Which processes hold the written file (or a file whose name begins with
// its name, as the tool's backup would be), by PID and command name, in the
// log (standard error: a tool's standard output may carry results of its own).
void report_file_holders(const std::string& writtenFile) {
    bool held = false;
    for (const std::string& path : fileHoldersArguments(writtenFile)) {
        const std::vector<FileHolder> holders = processesHoldingFile(path);
        if (holders.empty()) continue;
        held = true;
        log_line("%s is held by %s", path.c_str(), describeFileHolders(holders).c_str());
    }
    if (!held) log_line("%s is held by no process", file_argument(writtenFile).c_str());
}

// Counts a running copy for as long as it lives.
class ChildCount {
public:
    explicit ChildCount(std::atomic<int>& childs) : childs_(childs) { childs_.fetch_add(1, std::memory_order_seq_cst); }
    ~ChildCount() { childs_.fetch_sub(1, std::memory_order_seq_cst); }
    ChildCount(const ChildCount&) = delete;
    ChildCount& operator=(const ChildCount&) = delete;

private:
    std::atomic<int>& childs_;
};

}  // namespace

std::mutex exiftool_program_mutex;
std::string exiftool_program;

std::string exiftoolPath() {
    {
        std::lock_guard<std::mutex> lock(exiftool_program_mutex);
        if (!exiftool_program.empty()) return exiftool_program;
    }
    const std::string& dev = devHooks().exiftool;
    return dev.empty() ? std::string("/usr/bin/exiftool") : dev;
}

void setExiftoolProgram(const std::string& path) {
    std::lock_guard<std::mutex> lock(exiftool_program_mutex);
    exiftool_program = path;
}

std::string decodeToolOutput(const std::string& bytes) {
    if (is_utf8(bytes)) return bytes;
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (const char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            text.push_back(ch);
        } else {
            text.push_back(static_cast<char>(0xC0 | (c >> 6)));
            text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return text;
}

std::vector<std::string> exifInfoArguments(const std::string& rawPath) {
    return {"-DateTimeOriginal", "-ISO",         "-Aperture",  "-ShutterSpeed",         "-FocalLength", "-Lens",
            "-FlashOn",          "-FlashType",   "-Make",      "-Model",                "-ImageSize",
            "-ExposureCompensation", "-DriveMode", "-ShootingMode", "-All", "-S", file_argument(rawPath)};
}

std::optional<std::string> runExifToolForInfo(const std::string& rawPath, const std::function<void()>& progressed,
                                              std::chrono::milliseconds limit) {
    ProcessRequest request;
    request.program = exiftoolPath();
    request.arguments = exifInfoArguments(rawPath);
    request.output = OutputMode::Capture;
    request.time_limit = limit;
    if (progressed) progressed();
    const ProcessResult result = process_runner()->run(request);
    // Into the log as lines of their own (the last one ended too).
    if (!result.error_output.empty()) log_line("%s", result.error_output.c_str());
    if (!result.started()) {
        log_line("%s", result.start_error.c_str());
        return std::nullopt;
    }
    if (result.timed_out()) {
        log_line("exiftool on %s: %s", rawPath.c_str(), result.describe().c_str());
        return std::nullopt;
    }
    return decodeToolOutput(result.output);
}

TagCopyRequest makeTagCopyRequest(const RawProcessor& processor, const std::string& writtenFile) {
    TagCopyRequest request;
    request.fileName = processor.fileName();
    request.ofname = writtenFile;
    const DVKLib* d = processor.dvklib();
    if (d && d->libraw) request.make = d->libraw->imgdata.idata.make;
    return request;
}

std::string sidecarPathFor(const std::string& rawPath) {
    const std::string::size_type slash = rawPath.rfind('/');
    const std::string::size_type dot = rawPath.rfind('.');
    const bool has_extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (has_extension ? rawPath.substr(0, dot) : rawPath) + ".xmp";
}

PlainSourceNames::~PlainSourceNames() {
    for (const std::string& link : links_) ::unlink(link.c_str());
    if (!folder_.empty()) ::rmdir(folder_.c_str());
}

std::string PlainSourceNames::nameFor(const std::string& path) {
    if (path.find('%') == std::string::npos) return path;
    if (folder_.empty()) {
        std::error_code ec;
        std::string base = std::filesystem::temp_directory_path(ec).string();
        if (ec || base.find('%') != std::string::npos) base = "/tmp";
        std::string templ = base + "/dvk-tags-XXXXXX";
        if (!::mkdtemp(templ.data())) {
            log_line("No folder for a plain name of %s: %s", path.c_str(), std::strerror(errno));
            return path;
        }
        folder_ = templ;
    }
    // The extension stays (without a "%"): the tool may go by it.
    std::string extension;
    const std::string::size_type slash = path.rfind('/'), dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
        for (const char c : path.substr(dot))
            if (c != '%' && c != '/') extension += c;
    const std::string link = folder_ + "/source" + std::to_string(links_.size()) + extension;
    if (::symlink(path.c_str(), link.c_str()) != 0) {
        log_line("No plain name for %s: %s", path.c_str(), std::strerror(errno));
        return path;
    }
    links_.push_back(link);
    return link;
}

std::vector<std::string> tagCopyArguments(const TagCopyRequest& request, PlainSourceNames* plain) {
    const auto source = [plain](const std::string& path) { return plain ? plain->nameFor(path) : path; };
    const std::string raw = file_argument(request.fileName);
    std::vector<std::string> args = {
        "-v", "-TagsFromFile", source(raw), "-all:all>xmp-xmp:all", "-all:all>xmp-exif:all",
        "-all:all>xmp-aux:all", "-all:all>xmp-iptcCore:all", "-all:all>xmp-iptcExt:all",
        "-DateTimeOriginal>exif:DateTimeOriginal", "-iso>exif:iso", "-aperture>exif:aperturevalue",
        "-shutterspeed>exif:shutterspeedvalue", "-focalLength>exif:focalLength", "-lensid>exif:lens",
        "-lensmodel>exif:lensmodel", "-fnumber>exif:fnumber", "-ExposureCompensation>exif:ExposureCompensation",
        "-exposuretime>exif:exposuretime", "-serialnumber>exif:serialnumber", "-artist>exif:artist",
        "-copyright>exif:copyright", "-iptc:all", "-model", "--File:all", "--IFD1:all", "--Orientation",
        "--PhotometricInterpretation", "--PlanarConfiguration", "--SamplesPerPixel", "-xmp:keywords=", "-subject",
        "-city", "-state", "-country", "-usageterms", "-rights", "-timecodes", "-reelname", "-framerate",
        "-overwrite_original", file_argument(request.ofname)};
    if (strcasestr(request.make.c_str(), "PHASE ONE")) {
        args.insert(args.begin() + 10, "-make=PhaseOne");
    } else {
        args.insert(args.begin() + 10, "-make");
        args.insert(args.begin() + 10, "-makernotes");
    }
    const std::string sidecar = sidecarPathFor(raw);
    if (exists_at(sidecar)) {
        for (const char* arg : {"--File:all", "--Orientation"}) args.insert(args.begin() + 1, arg);
        args.insert(args.begin() + 1, source(sidecar));
        args.insert(args.begin() + 1, "-TagsFromFile");
    }
    return args;
}

std::vector<std::string> fileHoldersArguments(const std::string& written) {
    const std::string writtenFile = file_argument(written);
    const std::string::size_type slash = writtenFile.rfind('/');
    const std::string folder = folder_of(writtenFile);
    const std::string prefix = slash == std::string::npos ? std::string() : writtenFile.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? writtenFile : writtenFile.substr(slash + 1);
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* e = readdir(dir)) {
            const char* n = e->d_name;
            // What the shell's "name*" matches: hidden names only for a hidden name.
            if (n[0] == '.' && (name.empty() || name[0] != '.')) continue;
            if (std::strncmp(n, name.c_str(), name.size()) == 0) names.emplace_back(n);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const std::string& n : names) paths.push_back(prefix + n);
    if (paths.empty()) paths.push_back(writtenFile);
    return paths;
}

namespace {

// exiftool writes the changed file as "NAME_exiftool_tmp" and renames it over
// NAME: a name within that suffix of the longest the file system allows is
// changed through a short hidden second name (a hard link, named as a save's
// temporary file so that a killed run's link is cleared by the next save),
// renamed over the long one once the copy succeeded. Until then the long name
// keeps the file as it was written.
class ShortNameForTool {
public:
    explicit ShortNameForTool(const std::string& path) : path_(path) {
        constexpr std::size_t kToolSuffix = sizeof("_exiftool_tmp") - 1;
        const std::string::size_type slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        const std::size_t nameSize = path.size() - folder.size();
        if (nameSize + kToolSuffix <= longest_file_name(folder.empty() ? "." : folder)) return;
        for (int attempt = 0; attempt < 16; ++attempt) {
            std::string templ = safe_output_template(folder + "tags", getpid());
            // A unique name: made as a file, then replaced by the link.
            const int fd = mkstemp(templ.data());
            if (fd < 0) break;
            ::close(fd);
            ::unlink(templ.c_str());
            if (::link(path.c_str(), templ.c_str()) == 0) {
                link_ = templ;
                return;
            }
            if (errno != EEXIST) {
                log_line("No short name for the tag copy into %s: %s", path.c_str(), std::strerror(errno));
                return;
            }
        }
    }
    ~ShortNameForTool() {
        if (!link_.empty()) ::unlink(link_.c_str());
    }
    ShortNameForTool(const ShortNameForTool&) = delete;
    ShortNameForTool& operator=(const ShortNameForTool&) = delete;

    // The name the tool is given.
    const std::string& name() const { return link_.empty() ? path_ : link_; }
    // After a successful copy: the changed file takes the long name.
    bool finish() {
        if (link_.empty()) return true;
        if (std::rename(link_.c_str(), path_.c_str()) != 0) {
            log_line("The tags copied into %s could not take its name: %s", path_.c_str(), std::strerror(errno));
            return false;
        }
        link_.clear();
        return true;
    }

private:
    std::string path_, link_;
};

}  // namespace

bool copyTagsCounted(const TagCopyRequest& request, std::chrono::milliseconds limit) {
    PlainSourceNames plain;
    ShortNameForTool target(request.ofname);
    TagCopyRequest toTool = request;
    toTool.ofname = target.name();
    ProcessRequest run;
    run.program = exiftoolPath();
    run.arguments = tagCopyArguments(toTool, &plain);
    run.output = OutputMode::Merge;
    run.time_limit = limit;
    const ProcessResult result = process_runner()->run(run);
    // A source it could not open is only a warning to it: nothing was copied from there.
    const bool sourceMissed = result.output.find("Error opening file") != std::string::npos ||
                              result.output.find("does not exist for -tagsFromFile") != std::string::npos;
    if (result.succeeded() && !sourceMissed) return target.finish();
    if (!result.started()) {
        log_line("ExifTool result: [%s]", result.start_error.c_str());
        return false;
    }
    log_line("ExifTool result: [%s]", decodeToolOutput(result.output).c_str());
    if (result.outcome != ProcessOutcome::Exited) log_line("exiftool: %s", result.describe().c_str());
    report_file_holders(request.ofname);
    return false;
}

bool runExifToolToCopyTags(const TagCopyRequest& request, std::atomic<int>& childs, std::chrono::milliseconds limit) {
    ChildCount counted(childs);
    return copyTagsCounted(request, limit);
}

void runExifToolToCopyTagsInThread(const std::optional<TagCopyRequest>& request, std::atomic<int>& childs) {
    if (request) runExifToolToCopyTags(*request, childs);
}

}  // namespace dvk
