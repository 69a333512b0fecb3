#include "pipeline/gamut_map.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "pipeline/aligned_buffer.h"
#include "pipeline/dvklib.h"
#include "platform/log.h"

namespace dvk {

namespace {

std::uint8_t to_byte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<std::uint8_t>(v);
}

int header_intent(const Profile& p) {
    std::lock_guard<std::mutex> lock(p.lock());
    return static_cast<int>(cmsGetHeaderRenderingIntent(p.handle()));
}

}  // namespace

void gamut_surface_points(float* rgb) {
    std::size_t n = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                if (r != 0 && r != 255 && g != 0 && g != 255 && b != 0 && b != 255) {
                    b = 254;  // jump to the far face of this row
                    continue;
                }
                rgb[3 * n] = static_cast<float>(r) / 255.0f;
                rgb[3 * n + 1] = static_cast<float>(g) / 255.0f;
                rgb[3 * n + 2] = static_cast<float>(b) / 255.0f;
                ++n;
            }
}

namespace {

bool compute_gamut_map(const DVKLib* d, const char* profile_name, std::uint8_t* map) {
    std::shared_ptr<const Profile> src = getDVKProfileRef(d, profile_name, nullptr);
    std::shared_ptr<const Profile> lab = getDVKProfileRef("Lab", nullptr);
    if (!src || !lab) return false;
    std::string error;
    auto transform = get_colour_transform(src, header_intent(*src), lab, header_intent(*lab), PixelKind::Rgb,
                                          PixelKind::Lab, &error);
    if (!transform) {
        log_line("Can't make the gamut transform of %s: %s", profile_name ? profile_name : "(null)", error.c_str());
        return false;
    }
    AlignedBuffer<float> px = allocate_aligned<float>(((kGamutPoints + 15) / 16) * 16 * 3);
    if (!px) return false;
    gamut_surface_points(px.get());
    transform->convert_exact_parallel(px.get(), kGamutPoints);
    const float* p = px.get();
    for (std::size_t i = 0; i < kGamutPoints; ++i) {
        map[3 * i] = to_byte(p[3 * i] * 2.55f);
        map[3 * i + 1] = to_byte(p[3 * i + 1] + 128.0f);
        map[3 * i + 2] = to_byte(p[3 * i + 2] + 128.0f);
    }
    return true;
}

}  // namespace

bool fill_gamut_map(const DVKLib* d, const char* profile_name, std::uint8_t* map) {
    // Every processor builds the map of its output profile when it is made;
    // maps of built-in profiles are computed once per process.
    const bool cacheable = profile_name && profile_name[0] != '/' && std::strncmp(profile_name, "Built-in", 8) != 0;
    if (!cacheable) return compute_gamut_map(d, profile_name, map);
    static std::mutex mutex;
    static std::map<std::string, std::vector<std::uint8_t>> maps;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = maps.find(profile_name);
        if (it != maps.end()) {
            std::memcpy(map, it->second.data(), kGamutMapBytes);
            return true;
        }
    }
    if (!compute_gamut_map(d, profile_name, map)) return false;
    std::lock_guard<std::mutex> lock(mutex);
    maps.emplace(profile_name, std::vector<std::uint8_t>(map, map + kGamutMapBytes));
    return true;
}

IccBytes builtin_icc_bytes(const char* name) {
    // The profiles stay alive here for as long as the record points at their bytes.
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const Profile>> kept;
    if (!name) return {};
    std::lock_guard<std::mutex> lock(mutex);
    auto it = kept.find(name);
    if (it == kept.end()) {
        std::shared_ptr<const Profile> p = getDVKProfileRef(name, nullptr);
        if (!p) return {};
        it = kept.emplace(name, std::move(p)).first;
    }
    const std::vector<std::uint8_t>& bytes = it->second->bytes();
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size())};
}

}  // namespace dvk
