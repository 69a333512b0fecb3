#include "colour/input_profile_check.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include <lcms2.h>

#include "colour/profile.h"
#include "platform/regular_file.h"

namespace dvk {

namespace {

struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
struct ProfileDeleter {
    void operator()(void* p) const { cmsCloseProfile(p); }
};

std::uint32_t big_endian_32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Whether the tag table and every tag it lists lie within the data. A file
// whose header claims more bytes than it has loses nothing when they do (only
// padding is missing), and is taken.
bool tags_within(const unsigned char* bytes, std::size_t size) {
    const std::uint64_t count = big_endian_32(bytes + 128);
    if (132 + 12 * count > size) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const unsigned char* entry = bytes + 132 + 12 * i;
        if (std::uint64_t(big_endian_32(entry + 4)) + big_endian_32(entry + 8) > size) return false;
    }
    return true;
}

// A header signature as text ("GRAY", "CMYK", "Lab"), or in hexadecimal when
// it is not printable.
std::string signature_text(std::uint32_t sig) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((sig >> shift) & 0xff);
        if (c < 0x20 || c > 0x7e) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(sig));
            return hex;
        }
        text += c;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The device classes whose profiles describe how device values look: what a
// camera profile is. Empty for those; else what the profile is.
std::string wrong_class(std::uint32_t device_class) {
    switch (device_class) {
    case cmsSigInputClass:
    case cmsSigDisplayClass:
    case cmsSigColorSpaceClass:
        return {};
    case cmsSigOutputClass:
        return "an output (printer) profile";
    case cmsSigLinkClass:
        return "a device link profile";
    case cmsSigAbstractClass:
        return "an abstract profile";
    case cmsSigNamedColorClass:
        return "a named colour profile";
    default:
        return "a profile of the unknown class " + signature_text(device_class);
    }
}

// Builds the conversion the develop builds, RGB to CIELab with each intent it
// uses, and converts black, white, grey and the primaries through it.
std::string conversion_problem(const Profile& profile) {
    std::unique_ptr<void, ProfileDeleter> lab(cmsCreateLab4Profile(nullptr));
    if (!lab) return "LittleCMS cannot make the CIELab profile";
    std::lock_guard<std::mutex> hold(profile.lock());
    for (const cmsUInt32Number intent : {INTENT_RELATIVE_COLORIMETRIC, INTENT_ABSOLUTE_COLORIMETRIC}) {
        std::unique_ptr<void, TransformDeleter> t(cmsCreateTransform(profile.handle(), TYPE_RGB_FLT, lab.get(),
                                                                     TYPE_Lab_FLT, intent, cmsFLAGS_NOCACHE));
        if (!t) return "LittleCMS cannot build a conversion from it to CIELab";
        const float rgb[7][3] = {{0, 0, 0}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, {1, 0, 0},
                                 {0, 1, 0}, {0, 0, 1}, {0.2f, 0.6f, 0.9f}};
        float out[7][3] = {};
        cmsDoTransform(t.get(), rgb, out, 7);
        for (const auto& px : out)
            for (const float v : px)
                if (!std::isfinite(v)) return "its conversion to CIELab gives values that are no numbers";
    }
    return {};
}

// The verdicts on the files checked last, newest first.
constexpr std::size_t kVerdictsKept = 32;
std::mutex verdicts_lock;
std::deque<std::pair<FileVersion, std::string>> verdicts;

std::optional<std::string> known_verdict(const FileVersion& v) {
    std::lock_guard<std::mutex> hold(verdicts_lock);
    for (const auto& [version, problem] : verdicts)
        if (version == v) return problem;
    return std::nullopt;
}

void keep_verdict(const FileVersion& v, const std::string& problem) {
    std::lock_guard<std::mutex> hold(verdicts_lock);
    verdicts.emplace_front(v, problem);
    if (verdicts.size() > kVerdictsKept) verdicts.pop_back();
}

}  // namespace

std::string input_profile_problem(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (!bytes || size < 132 || big_endian_32(bytes + 36) != 0x61637370u)  // "acsp"
        return "not an ICC profile";
    if (!tags_within(bytes, size)) {
        const std::uint32_t declared = big_endian_32(bytes);
        if (declared > size)
            return "an ICC profile cut short (" + std::to_string(size) + " of " + std::to_string(declared) + " bytes)";
        return "a damaged ICC profile (its tags reach past its end)";
    }
    const std::shared_ptr<const Profile> profile = Profile::from_bytes(data, size);
    if (!profile) return "not an ICC profile (LittleCMS cannot open it)";
    if (profile->colour_space() != cmsSigRgbData)
        return "a profile of " + signature_text(profile->colour_space()) + " data, not of RGB data";
    if (const std::string what = wrong_class(profile->device_class()); !what.empty())
        return what + ", not an input, display or colour space profile";
    return conversion_problem(*profile);
}

InputProfileFile read_input_profile_file(const std::string& path) {
    InputProfileFile result;
    RegularFileRead file = read_regular_file(path, kProfileFileMaxBytes);
    if (!file) {
        result.error = file.error;
        result.errnum = file.errnum;
        return result;
    }
    std::optional<std::string> problem = known_verdict(file.version);
    if (!problem) {
        problem = file.bytes->empty() ? std::string("an empty file")
                                      : input_profile_problem(file.bytes->data(), file.bytes->size());
        keep_verdict(file.version, *problem);
    }
    if (!problem->empty()) {
        result.error = path + ": " + *problem;
        return result;
    }
    result.bytes = std::move(file.bytes);
    return result;
}

}  // namespace dvk
