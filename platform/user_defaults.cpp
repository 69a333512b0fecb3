#include "platform/user_defaults.h"

#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/log.h"

namespace dvk {

struct UserDefaults::Impl {
    mutable std::mutex mutex;
    plist_t dict = nullptr;
    bool loaded = false;
    plist_t dict_for(const std::string& path);  // callers hold the mutex
};

namespace {

plist_t read_plist_file(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    std::vector<char> bytes;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    if (bytes.empty() || bytes.size() > 0x7fffffff) return nullptr;
    plist_t p = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &p);
    if (p && plist_get_node_type(p) != PLIST_DICT) {
        plist_free(p);
        p = nullptr;
    }
    return p;
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
        dict = read_plist_file(path);
        if (!dict) dict = plist_new_dict();
        loaded = true;
    }
    return dict;
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
    const std::string tmp = path_ + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    bool ok = f && std::fwrite(xml, 1, len, f) == len;
    if (f) ok = (std::fclose(f) == 0) && ok;
    std::free(xml);
    if (ok) ok = std::rename(tmp.c_str(), path_.c_str()) == 0;
    if (!ok) {
        unlink(tmp.c_str());
        log_line("Can't write the defaults file %s", path_.c_str());
    }
    return ok;
}

void UserDefaults::reload() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->dict) plist_free(impl_->dict);
    impl_->dict = nullptr;
    impl_->loaded = false;
}

}  // namespace dvk
