#include "pipeline/stages/gamut_map.h"

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
#include "core/aligned_buffer.h"
#include "core/band_runner.h"
#include "core/dvklib.h"
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

// The map of a matrix/TRC RGB profile: its XYZ is the matrix times the three
// tone curves, so XYZ(r, g, b) = XYZ(r, 0, 0) + XYZ(0, g, 0) + XYZ(0, 0, b)
// - 2 XYZ(0, 0, 0), and 3 x 256 exact evaluations give every surface point,
// turned into CIELab by the same D50 formula. False when `src` is not such a
// profile or no transform can be made.
bool matrix_gamut_map(const Profile& src, int src_intent, int lab_intent, std::uint8_t* map) {
    std::vector<float> levels(3 * 256 * 3, 0.0f);  // channel c, level v: (v in c, 0 elsewhere)
    {
        std::lock_guard<std::mutex> lock(src.lock());
        cmsHPROFILE h = src.handle();
        if (cmsGetColorSpace(h) != cmsSigRgbData || !cmsIsMatrixShaper(h) ||
            cmsIsCLUT(h, cmsUInt32Number(src_intent), LCMS_USED_AS_INPUT))
            return false;
        cmsHPROFILE xyz = cmsCreateXYZProfile();
        if (!xyz) return false;
        cmsHPROFILE profiles[2] = {h, xyz};
        cmsBool bpc[2] = {FALSE, FALSE};
        cmsUInt32Number intents[2] = {cmsUInt32Number(src_intent), cmsUInt32Number(lab_intent)};
        cmsFloat64Number adaptation[2] = {1.0, 1.0};
        cmsHTRANSFORM t = cmsCreateExtendedTransform(nullptr, 2, profiles, bpc, intents, adaptation, nullptr, 0,
                                                     TYPE_RGB_FLT, TYPE_XYZ_FLT, cmsFLAGS_NOCACHE);
        cmsCloseProfile(xyz);
        if (!t) return false;
        for (int c = 0; c < 3; ++c)
            for (int v = 0; v < 256; ++v) levels[(std::size_t(c) * 256 + std::size_t(v)) * 3 + std::size_t(c)] = float(v) / 255.0f;
        cmsDoTransform(t, levels.data(), levels.data(), 3 * 256);
        cmsDeleteTransform(t);
    }
    const auto term = [&](int c, int v) { return &levels[(std::size_t(c) * 256 + std::size_t(v)) * 3]; };
    // XYZ(0, 0, 0) counted twice too many.
    double black[3];
    for (int k = 0; k < 3; ++k) black[k] = 2.0 * double(term(0, 0)[k]);
    // Where each red level's points begin in the map.
    std::vector<std::size_t> first(257, 0);
    for (int r = 0; r < 256; ++r) first[r + 1] = first[r] + (r == 0 || r == 255 ? 65536 : 256 * 256 - 254 * 254);
    if (first[256] != kGamutPoints) return false;
    const cmsCIEXYZ* white = cmsD50_XYZ();
    run_row_chunks(256, band_thread_count > 0 ? band_thread_count : 1, [&](unsigned r0, unsigned count) {
        for (unsigned r = r0; r < r0 + count; ++r) {
            std::size_t n = first[r];
            const float* xr = term(0, int(r));
            for (int g = 0; g < 256; ++g) {
                const float* xg = term(1, g);
                const bool all_b = r == 0 || r == 255 || g == 0 || g == 255;
                for (int b = 0; b < 256; b = (all_b || b == 255) ? b + 1 : 255) {
                    const float* xb = term(2, b);
                    cmsCIEXYZ xyz{double(xr[0]) + xg[0] + xb[0] - black[0], double(xr[1]) + xg[1] + xb[1] - black[1],
                                  double(xr[2]) + xg[2] + xb[2] - black[2]};
                    cmsCIELab lab;
                    cmsXYZ2Lab(white, &lab, &xyz);
                    map[3 * n] = to_byte(float(lab.L) * 2.55f);
                    map[3 * n + 1] = to_byte(float(lab.a) + 128.0f);
                    map[3 * n + 2] = to_byte(float(lab.b) + 128.0f);
                    ++n;
                }
            }
        }
    });
    return true;
}

bool compute_gamut_map(const DVKLib* d, const char* profile_name, std::uint8_t* map) {
    std::shared_ptr<const Profile> src = getDVKProfileRef(d, profile_name, nullptr);
    std::shared_ptr<const Profile> lab = getDVKProfileRef("Lab", nullptr);
    if (!src || !lab) return false;
    if (matrix_gamut_map(*src, header_intent(*src), header_intent(*lab), map)) return true;
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
