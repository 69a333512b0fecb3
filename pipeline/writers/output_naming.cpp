#include "pipeline/writers/output_naming.h"

#include <cctype>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/folder_functions.h"

namespace dvk {

namespace {

std::string strip_trailing_slashes(const std::string& p) {
    std::string s = p;
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool path_exists(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

// The integer value of the leading part of `text`, as the platform's
// intValue: leading blanks, an optional sign, then digits.
int int_value(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && value < 100000000)
        value = value * 10 + (text[i++] - '0');
    return static_cast<int>(negative ? -value : value);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::string last_path_component(const std::string& path) {
    std::string s = strip_trailing_slashes(path);
    if (s == "/") return s;
    std::string::size_type slash = s.rfind('/');
    return slash == std::string::npos ? s : s.substr(slash + 1);
}

std::string path_extension(const std::string& path) {
    std::string name = last_path_component(path);
    std::string::size_type dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return std::string();
    return name.substr(dot + 1);
}

std::string deleting_path_extension(const std::string& path) {
    std::string s = strip_trailing_slashes(path);
    std::string ext = path_extension(s);
    if (ext.empty()) return s;
    return s.substr(0, s.size() - ext.size() - 1);
}

std::string deleting_last_path_component(const std::string& path) {
    std::string s = strip_trailing_slashes(path);
    std::string::size_type slash = s.rfind('/');
    if (slash == std::string::npos) return std::string();
    if (slash == 0) return "/";
    return s.substr(0, slash);
}

std::string appending_path_component(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string makeDefaultBaseName(const std::string& fileName, bool jpeg) {
    return deleting_path_extension(last_path_component(fileName)) + (jpeg ? ".jpeg" : ".tiff");
}

std::string makeFullDestinationFileName(const std::string& fileName, const std::string& destinationFile,
                                        bool jpeg) {
    std::string path;
    if (!destinationFile.empty()) {
        if (destinationFile.back() == '/')
            path = appending_path_component(destinationFile, makeDefaultBaseName(fileName, jpeg));
        else
            path = destinationFile;
        if (path[0] != '/') path = appending_path_component(deleting_last_path_component(fileName), path);
    } else {
        path = appending_path_component(deleting_last_path_component(fileName), makeDefaultBaseName(fileName, jpeg));
    }
    std::string ext = lower(path_extension(path));
    if (ext == "tiff" || ext == "tif" || ext == "jpeg" || ext == "jpg") return path;
    return deleting_path_extension(path) + (jpeg ? ".jpeg" : ".tiff");
}

std::string path_with_format_extension(const std::string& path, bool jpeg) {
    const std::string ext = lower(path_extension(path));
    if (jpeg ? (ext == "jpeg" || ext == "jpg") : (ext == "tiff" || ext == "tif")) return path;
    return deleting_path_extension(path) + (jpeg ? ".jpeg" : ".tiff");
}

std::optional<std::string> spinCounterOnFileIfExists(const std::string& path) {
    return first_name_not_taken(path, path_exists);
}

std::optional<std::string> first_name_not_taken(const std::string& path,
                                                const std::function<bool(const std::string&)>& taken) {
    if (!taken(path)) return path;
    std::string base, ext;
    if (!path.empty() && path.back() == '/') {
        base = path;
    } else {
        ext = path_extension(path);
        base = deleting_path_extension(path);
    }
    int counter = 1;
    std::string last = last_path_component(base);
    if (last.size() >= 4) {
        int n = int_value(last.substr(last.size() - 4));
        if (n < 0) {
            base.erase(base.size() - 4);
            counter = -n;
            if (counter >= 999) counter = 1;
        }
    }
    for (; counter <= 999; ++counter) {
        char number[16];
        std::snprintf(number, sizeof number, "-%03d", counter);
        std::string candidate = base + number + (ext.empty() ? std::string() : "." + ext);
        if (!taken(candidate)) return candidate;
    }
    return std::nullopt;
}

std::size_t longest_file_name(const std::string& folder) {
    std::string f = folder.empty() ? std::string(".") : folder;
    for (;;) {
        errno = 0;
        const long n = pathconf(f.c_str(), _PC_NAME_MAX);
        if (n > 0) return static_cast<std::size_t>(n);
        if (errno != ENOENT && errno != ENOTDIR) break;
        const std::string up = deleting_last_path_component(f);
        if (up.empty() || up == f) break;
        f = up;
    }
    return NAME_MAX;
}

std::string name_length_refusal(const std::string& path) {
    const std::string name = last_path_component(path);
    const std::size_t most = longest_file_name(deleting_last_path_component(path));
    if (name.size() <= most) return std::string();
    return "its name is " + std::to_string(name.size()) + " bytes long, longer than the " + std::to_string(most) +
           " bytes its file system allows";
}

std::string not_a_file_refusal(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return std::string();
    if (S_ISDIR(st.st_mode)) return "a folder, not a file";
    return "not a regular file";
}

bool destination_path_writable(const std::string& path, std::string* reason) {
    const std::string folder = deleting_last_path_component(path);
    for (const std::string& refusal : {name_length_refusal(path), not_a_file_refusal(path)})
        if (!refusal.empty()) {
            if (reason) *reason = refusal;
            return false;
        }
    if (!folder.empty() && !path_exists(folder)) {
        errno = 0;
        if (canCreateDirectoryPath(folder)) return true;
        if (reason) {
            *reason = "its folder cannot be made";
            if (errno) *reason += std::string(": ") + std::strerror(errno);
        }
        return false;
    }
    if (FILE* f = std::fopen(path.c_str(), "r+")) {
        std::fclose(f);
        return true;
    }
    int e = errno;
    // Probe creation only where nothing exists: an existing file that merely
    // cannot be read must not be emptied and deleted by the probe.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        // An existing file says why it cannot be opened; else why none can be made.
        if (errno != EEXIST) e = errno;
        if (reason) *reason = std::strerror(e);
        return false;
    }
    close(fd);
    unlink(path.c_str());
    return true;
}

bool same_existing_file(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (a.empty() || b.empty() || stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string kept_destination_for_format(const std::string& destination, bool jpeg) {
    if (destination.empty() || destination.back() == '/' || path_extension(destination).empty()) return destination;
    return path_with_format_extension(destination, jpeg);
}

}  // namespace dvk
