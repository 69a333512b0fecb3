#include "colour/profile_lookup.h"

#include <algorithm>
#include <cerrno>
#include <array>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "colour/builtin_profiles.h"
#include "colour/profile.h"
#include "colour/profile_cache.h"
#include "core/dvklib.h"
#include "platform/log.h"
#include "platform/regular_file.h"
#include "platform/resource_path.h"

namespace dvk {

namespace {

// Entry caches: each entry's profile, made on its first successful lookup.
std::mutex table_lock;
std::array<std::shared_ptr<const Profile>, kBuiltinProfileCount> entry_profiles;

// The file cache: the last profile file looked up.
std::recursive_mutex file_lock;
std::string cached_path;
std::shared_ptr<const Profile> cached_file;

// A profile file: only a regular file of a sane size; *error receives the
// reason when it is not.
bool read_whole_file(const char* path, std::vector<unsigned char>* out, std::string* error = nullptr) {
    const RegularFileRead file = read_regular_file(path, kProfileFileMaxBytes);
    if (!file) {
        // A missing file is said by the lookup's own line.
        if (error && file.errnum != ENOENT) *error = file.reason;
        return false;
    }
    out->assign(file.bytes->begin(), file.bytes->end());
    return true;
}

// The generic CIELab (D50) profile; its header date is fixed so that its
// bytes are the same in every run.
std::shared_ptr<const Profile> make_lab_profile() {
    std::shared_ptr<const Profile> made = Profile::adopt(cmsCreateLab4Profile(cmsD50_xyY()));
    if (!made || made->bytes().size() < 128) return made;
    std::vector<std::uint8_t> bytes = made->bytes();
    const std::uint8_t date[12] = {0x07, 0xE0, 0, 7, 0, 16, 0, 10, 0, 0, 0, 0};  // 2016-07-16 10:00:00
    std::copy(date, date + 12, bytes.begin() + 24);
    return Profile::from_bytes(bytes.data(), bytes.size());
}

// Makes the profile of table entry `i` (table_lock held); *error receives a
// creation error.
std::shared_ptr<const Profile> make_entry_profile(unsigned i, std::string* error) {
    const BuiltinProfileEntry& e = builtin_profiles[i];
    if (std::strcmp(e.name, "Lab") == 0) return make_lab_profile();
    if (std::strcmp(e.name, "Uplab") == 0) {
        std::vector<unsigned char> bytes;
        if (!read_whole_file(resource_file("CIELab_to_UPLab.icc").c_str(), &bytes)) return nullptr;
        return Profile::from_bytes(bytes.data(), bytes.size(), error);
    }
    if (e.packed) {
        if (unpack_builtin_profile(e.slot, e.packed, e.packed_size, e.length, e.unpack_param) != 0) return nullptr;
        return Profile::from_bytes(*e.slot, e.length, error);
    }
    if (e.data) return Profile::from_bytes(e.data, e.length, error);
    return nullptr;  // "Built-in" before a camera profile exists
}

std::shared_ptr<const Profile> lookup_file(const char* name, std::string* error) {
    std::lock_guard<std::recursive_mutex> guard(file_lock);
    if (cached_file && cached_path == name) return cached_file;
    cached_file.reset();
    cached_path.clear();
    std::vector<unsigned char> bytes;
    if (!read_whole_file(name, &bytes, error)) return nullptr;
    std::shared_ptr<const Profile> p = Profile::from_bytes(bytes.data(), bytes.size(), error);
    if (p) {
        cached_path = name;
        cached_file = p;
    }
    return p;
}

}  // namespace

void set_builtin_entry_profile(std::shared_ptr<const Profile> p) {
    std::lock_guard<std::mutex> guard(table_lock);
    entry_profiles[kBuiltinProfileIndexBuiltIn] = std::move(p);
}

std::shared_ptr<const Profile> getDVKProfileRef(const char* name, int* out_index) {
    if (!name) return nullptr;
    std::shared_ptr<const Profile> result;
    std::string error;
    if (name[0] == '/') {
        result = lookup_file(name, &error);
        if (out_index) *out_index = -1;
    } else if (name[0] != '\0') {
        unsigned i = 0;
        while (i < kBuiltinProfileCount && std::strcmp(builtin_profiles[i].name, name) != 0) ++i;
        if (i == kBuiltinProfileCount) i = kDefaultProfileIndex;
        if (out_index) *out_index = int(i);
        std::lock_guard<std::mutex> guard(table_lock);
        if (!entry_profiles[i]) entry_profiles[i] = make_entry_profile(i, &error);
        result = entry_profiles[i];
    }
    if (result) return result;
    if (std::strncmp(name, "Built-in", 8) != 0) log_line("Error finding profile %s", name);
    if (!error.empty()) log_line("Error while creating profile %s:%s", name, error.c_str());
    return nullptr;
}

std::shared_ptr<const Profile> getDVKProfileRef(const DVKLib* d, const char* name, int* out_index) {
    if (d && d->camera_profile && name && std::strcmp(name, "Built-in") == 0) {
        if (out_index) *out_index = int(kBuiltinProfileIndexBuiltIn);
        return d->camera_profile;
    }
    return getDVKProfileRef(name, out_index);
}

bool isBuiltinProfileName(const char* name) {
    if (!name) return false;
    for (unsigned i = 0; i < kBuiltinProfileCount; ++i)
        if (std::strcmp(builtin_profiles[i].name, name) == 0) return true;
    return false;
}

float get_profile_saturation(unsigned index) {
    if (index < kBuiltinProfileCount) return builtin_profiles[index].saturation;
    if (index != 0xFFFFFFFFu) log_line("Index for saturation is out of range %d", int(index));
    return 0.0f;
}

}  // namespace dvk
