#include "platform/user_defaults.h"

#include <plist/plist.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/log.h"
#include "platform/plist_read.h"
#include "platform/regular_file.h"

namespace dvk {

namespace {

// Numbers the temporary files of this process's writes.
std::atomic<unsigned long> g_temporary_serial{0};

}  // namespace

struct UserDefaults::Impl {
    mutable std::mutex mutex;
    plist_t dict = nullptr;
    bool loaded = false;
    // Set when the file could not be read: what to tell the user (once).
    std::optional<std::string> unreadableNote;
    // False when an unreadable file could not be set aside: it is never
    // written over.
    bool writable = true;
    plist_t dict_for(const std::string& path);  // callers hold the mutex
    void setAside(const std::string& path, const std::string& problem);
};

namespace {

// A file that is not there (or empty) holds no defaults; any other that
// cannot be read gives the reason.
plist_t read_plist_file(const std::string& path, std::string* problem) {
    problem->clear();
    const RegularFileRead file = read_regular_file(path, kDefaultsFileMaxBytes);
    if (!file) {
        if (file.errnum != ENOENT) *problem = file.error;
        return nullptr;
    }
    if (file.bytes->empty()) return nullptr;
    std::string why;
    plist_t p = plist_read(*file.bytes, &why);
    if (!p) {
        *problem = path + ": " + why;
        return nullptr;
    }
    if (plist_get_node_type(p) != PLIST_DICT) {
        plist_free(p);
        *problem = path + ": its root is no dictionary";
        return nullptr;
    }
    return p;
}

// "PATH.unreadable-20240131-235959", with "-2", "-3" ... when that is taken.
std::string set_aside_name(const std::string& path) {
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".unreadable-" + stamp;
    std::string name = base;
    struct stat st {};
    for (int n = 2; ::lstat(name.c_str(), &st) == 0 && n < 1000; ++n) name = base + "-" + std::to_string(n);
    return name;
}

bool make_dirs(const std::string& dir) {
    if (dir.empty()) return true;
    std::string part;
    for (std::size_t i = 0; i <= dir.size(); ++i) {
        if (i == dir.size() || (dir[i] == '/' && i > 0)) {
            part = dir.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

double number_of(plist_t node) {
    if (!node) return 0;
    switch (plist_get_node_type(node)) {
        case PLIST_REAL: {
            double v = 0;
            plist_get_real_val(node, &v);
            return v;
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            // Negative integers are stored as their two's complement.
            return static_cast<double>(static_cast<int64_t>(v));
        }
        case PLIST_BOOLEAN: {
            uint8_t v = 0;
            plist_get_bool_val(node, &v);
            return v ? 1 : 0;
        }
        case PLIST_STRING: {
            char* s = nullptr;
            plist_get_string_val(node, &s);
            double v = s ? std::strtod(s, nullptr) : 0;
            std::free(s);
            return v;
        }
        default:
            return 0;
    }
}

}  // namespace

std::string defaultsFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "/tmp") + "/.config";
    }
    return base + "/DVK/defaults.plist";
}

UserDefaults& UserDefaults::standard() {
    static UserDefaults store(defaultsFilePath());
    return store;
}

UserDefaults::UserDefaults(std::string path) : impl_(new Impl), path_(std::move(path)) {}

UserDefaults::~UserDefaults() {
    if (impl_->dict) plist_free(impl_->dict);
    delete impl_;
}

plist_t UserDefaults::Impl::dict_for(const std::string& path) {
    if (!loaded) {
        loaded = true;
        std::string problem;
        dict = read_plist_file(path, &problem);
        if (!problem.empty()) setAside(path, problem);
        if (!dict) dict = plist_new_dict();
    }
    return dict;
}

void UserDefaults::Impl::setAside(const std::string& path, const std::string& problem) {
    // Never deleted: renamed, so that the user can look at it or restore it.
    const std::string aside = set_aside_name(path);
    if (std::rename(path.c_str(), aside.c_str()) == 0) {
        log_line("Defaults file not read, set aside as %s: %s", aside.c_str(), problem.c_str());
        unreadableNote = "The defaults file could not be read (" + problem + "). It was set aside as\n" + aside +
                         "\nand DVK starts with its default settings.";
        return;
    }
    const std::string why = std::strerror(errno);
    writable = false;
    log_line("Defaults file not read, and it cannot be set aside as %s (%s): %s", aside.c_str(), why.c_str(),
             problem.c_str());
    unreadableNote = "The defaults file could not be read (" + problem + "), nor set aside (" + why +
                     "). DVK starts with its default settings and leaves the file as it is: changes of the "
                     "defaults are not kept.";
}

std::optional<std::string> UserDefaults::takeUnreadableFileNote() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->dict_for(path_);
    std::optional<std::string> note = std::move(impl_->unreadableNote);
    impl_->unreadableNote.reset();
    return note;
}

double UserDefaults::doubleForKey(const char* key) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return number_of(plist_dict_get_item(impl_->dict_for(path_), key));
}

float UserDefaults::floatForKey(const char* key) const { return static_cast<float>(doubleForKey(key)); }

long long UserDefaults::integerForKey(const char* key) const { return static_cast<long long>(doubleForKey(key)); }

bool UserDefaults::boolForKey(const char* key) const { return doubleForKey(key) != 0; }

std::string UserDefaults::stringForKey(const char* key) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_t node = plist_dict_get_item(impl_->dict_for(path_), key);
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::string();
    char* s = nullptr;
    plist_get_string_val(node, &s);
    std::string out = s ? s : "";
    std::free(s);
    return out;
}

bool UserDefaults::hasKey(const char* key) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return plist_dict_get_item(impl_->dict_for(path_), key) != nullptr;
}

std::optional<std::vector<std::string>> UserDefaults::stringArrayForKey(const char* key) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_t node = plist_dict_get_item(impl_->dict_for(path_), key);
    if (!node || plist_get_node_type(node) != PLIST_ARRAY) return std::nullopt;
    std::vector<std::string> out;
    const uint32_t n = plist_array_get_size(node);
    for (uint32_t i = 0; i < n; ++i) {
        plist_t item = plist_array_get_item(node, i);
        if (!item || plist_get_node_type(item) != PLIST_STRING) continue;
        char* s = nullptr;
        plist_get_string_val(item, &s);
        out.emplace_back(s ? s : "");
        std::free(s);
    }
    return out;
}

void UserDefaults::setDouble(const char* key, double value) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_dict_set_item(impl_->dict_for(path_), key, plist_new_real(value));
}

void UserDefaults::setInteger(const char* key, long long value) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_dict_set_item(impl_->dict_for(path_), key, plist_new_uint(static_cast<uint64_t>(value)));
}

void UserDefaults::setBool(const char* key, bool value) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_dict_set_item(impl_->dict_for(path_), key, plist_new_bool(value ? 1 : 0));
}

void UserDefaults::setString(const char* key, const std::string& value) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_dict_set_item(impl_->dict_for(path_), key, plist_new_string(value.c_str()));
}

void UserDefaults::setStringArray(const char* key, const std::vector<std::string>& values) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_t array = plist_new_array();
    for (const std::string& v : values) plist_array_append_item(array, plist_new_string(v.c_str()));
    plist_dict_set_item(impl_->dict_for(path_), key, array);
}

void UserDefaults::removeKey(const char* key) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_t dict = impl_->dict_for(path_);
    if (plist_dict_get_item(dict, key)) plist_dict_remove_item(dict, key);
}

bool UserDefaults::synchronize() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    plist_t dict = impl_->dict_for(path_);
    if (!impl_->writable) {
        log_line("Defaults not written: %s could not be read nor set aside", path_.c_str());
        return false;
    }
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(dict, &xml, &len);
    if (!xml) return false;
    const std::size_t slash = path_.rfind('/');
    if (slash != std::string::npos && !make_dirs(path_.substr(0, slash))) {
        std::free(xml);
        log_line("Can't create the folder of %s", path_.c_str());
        return false;
    }
    // A temporary file of this write's own in the same folder, renamed over
    // the file in one step: writers in other processes (or other stores of
    // this one) never write into one temporary file, and a reader finds the
    // old file or the new one, whole.
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = path_ + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(g_temporary_serial++);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    int err = fd < 0 ? errno : 0;
    const char* data = xml;
    std::size_t left = len;
    while (fd >= 0 && left > 0 && err == 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
        } else {
            data += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    std::free(xml);
    if (fd >= 0 && ::close(fd) != 0 && err == 0) err = errno;
    if (fd >= 0 && err == 0 && std::rename(tmp.c_str(), path_.c_str()) != 0) err = errno;
    if (err != 0) {
        if (fd >= 0) unlink(tmp.c_str());
        log_line("Can't write the defaults file %s: %s", path_.c_str(), std::strerror(err));
        return false;
    }
    return true;
}

void UserDefaults::reload() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->dict) plist_free(impl_->dict);
    impl_->dict = nullptr;
    impl_->loaded = false;
}

}  // namespace dvk
