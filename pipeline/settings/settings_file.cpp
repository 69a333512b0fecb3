#include "pipeline/settings/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pipeline/settings/plist_node.h"
#include "pipeline/settings/settings_text.h"
#include "platform/plist_read.h"
#include "platform/regular_file.h"

namespace dvk {

namespace {

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view strip_trailing_slashes(std::string_view p) {
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    return p;
}

SettingsValue value_of_node(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return SettingsValue(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        // Property lists keep signed integers; libplist hands them out as
        // their two's-complement bits.
        return SettingsValue(static_cast<long long>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return SettingsValue(d);
    }
    case PLIST_STRING: {
        bool ok = false;
        std::string s = plist_string(node, &ok);
        return ok ? SettingsValue(std::move(s)) : SettingsValue();
    }
    default: return SettingsValue();
    }
}

PlistPtr node_of_value(const SettingsValue& v) {
    switch (v.kind()) {
    case SettingsValue::Kind::Null: return PlistPtr(plist_new_string(""));
    case SettingsValue::Kind::Bool: return PlistPtr(plist_new_bool(v.bool_value() ? 1 : 0));
    case SettingsValue::Kind::Int: return PlistPtr(plist_new_uint(static_cast<uint64_t>(v.int64_value())));
    case SettingsValue::Kind::Double: return PlistPtr(plist_new_real(v.double_value()));
    case SettingsValue::Kind::String: return PlistPtr(plist_new_string(v.string_ptr()->c_str()));
    }
    return PlistPtr();
}

PlistPtr dictionary_node(const SettingsDictionary& dict) {
    PlistPtr root(plist_new_dict());
    for (const auto& [key, value] : dict) plist_dict_set_item(root.get(), key.c_str(), node_of_value(value).release());
    return root;
}

}  // namespace

std::string last_path_component(std::string_view path) {
    std::string_view p = strip_trailing_slashes(path);
    if (p == "/") return "/";
    std::size_t slash = p.rfind('/');
    return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

std::string path_extension(std::string_view path) {
    std::string name = last_path_component(path);
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

std::string settings_path_with_extension(std::string_view path) {
    std::string_view p = strip_trailing_slashes(path);
    if (equals_ignoring_case(path_extension(p), kSettingsExtension)) return std::string(p);
    std::string out(p);
    out += '.';
    out += kSettingsExtension;
    return out;
}

std::optional<SettingsDictionary> getDictionarySettingsFromXMLData(std::string_view data) {
    PlistPtr root = plist_parse(data);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
    SettingsDictionary dict;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(root.get(), &it);
    if (!it) return dict;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), it, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        if (key) dict.set(key, value_of_node(value));
        std::free(key);
    }
    std::free(it);
    return dict;
}

std::optional<SettingsDictionary> settings_dictionary_from_data(std::string_view data, std::string* error) {
    // Data the property-list reader must not see is refused, not read as text.
    if (std::optional<std::string> problem = plist_nesting_problem(data)) {
        if (error) *error = *problem;
        return std::nullopt;
    }
    if (auto d = getDictionarySettingsFromXMLData(data)) return d;
    return getDictionarySettingsFromString(data);
}

std::optional<SettingsDictionary> read_settings_file(const std::string& path, std::string* error) {
    const RegularFileRead file = read_regular_file(path, kSettingsFileMaxBytes);
    if (!file) {
        if (error) *error = file.error;
        return std::nullopt;
    }
    std::string why;
    std::optional<SettingsDictionary> dict = settings_dictionary_from_data(*file.bytes, &why);
    if (!dict && error) *error = path + ": " + why;
    return dict;
}

std::string settings_plist_xml(const SettingsDictionary& dict) { return plist_xml_text(dictionary_node(dict).get()); }

std::string settings_plist_binary(const SettingsDictionary& dict) {
    return plist_binary_bytes(dictionary_node(dict).get());
}

std::optional<std::string> read_file_bytes(const std::string& path, std::string* error) {
    RegularFileRead file = read_regular_file(path, kSettingsFileMaxBytes);
    if (!file && error) *error = file.error;
    return std::move(file.bytes);
}

bool write_file_atomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    std::string templ = path + ".XXXXXX";
    int fd = mkstemp(templ.data());
    if (fd < 0) return false;
    bool ok = true;
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (ok && left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else {
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    // mkstemp makes the file private; keep the mode of the file replaced,
    // or make a new one readable by all.
    struct stat st {};
    mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    if (ok && fchmod(fd, mode) != 0) ok = false;
    if (ok && fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && std::rename(templ.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(templ.c_str());
    return ok;
}

}  // namespace dvk
