#include "tests/support/test_profiles.h"

#include <lcms2.h>

#include <fstream>

#include "pipeline/stages/gamut_map.h"

namespace dvk::test {

namespace {

std::string write(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

std::string saved(cmsHPROFILE p) {
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    std::string bytes(n, '\0');
    cmsSaveProfileToMem(p, bytes.data(), &n);
    cmsCloseProfile(p);
    return bytes;
}

std::string rgb_profile_bytes() {
    const IccBytes icc = builtin_icc_bytes("AdobeRGB2.2");
    return std::string(icc.data, icc.size);
}

}  // namespace

std::string write_rgb_profile(const std::filesystem::path& path) { return write(path, rgb_profile_bytes()); }

std::vector<ProfileCase> write_profile_cases(const std::filesystem::path& folder) {
    const std::string rgb = rgb_profile_bytes();
    const std::string cut = rgb.substr(0, rgb.size() / 2);
    // A whole profile that LittleCMS opens, but that says nothing of the
    // primaries: no conversion can be built from it.
    cmsHPROFILE bare = cmsCreate_sRGBProfile();
    for (cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag})
        cmsWriteTag(bare, tag, nullptr);
    const std::string noColorants = saved(bare);
    std::string passwd;
    for (int i = 0; i < 40; ++i)
        passwd += "user" + std::to_string(i) + ":x:100" + std::to_string(i) + ":100:,,,:/home/u:/bin/sh\n";
    cmsToneCurve* line = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {line, line, line};
    const std::string grey = saved(cmsCreateGrayProfile(cmsD50_xyY(), line));
    const std::string link = saved(cmsCreateLinearizationDeviceLink(cmsSigRgbData, curves));
    cmsFreeToneCurve(line);
    const std::string cutReason =
        "an ICC profile cut short (" + std::to_string(cut.size()) + " of " + std::to_string(rgb.size()) + " bytes)";
    return {
        {"text", write(folder / "junk.icc", "not a profile at all"), "not an ICC profile"},
        {"a password file", write(folder / "passwd.icc", passwd), "not an ICC profile"},
        {"an ICC profile cut short", write(folder / "cut.icc", cut), cutReason},
        {"an RGB profile without its primaries", write(folder / "bare.icc", noColorants),
         "LittleCMS cannot build a conversion from it to CIELab"},
        {"a grey profile", write(folder / "grey.icc", grey), "a profile of GRAY data, not of RGB data"},
        {"an RGB device link", write(folder / "link.icc", link),
         "a device link profile, not an input, display or colour space profile"},
        {"an RGB profile", write(folder / "good.icc", rgb), ""},
    };
}

}  // namespace dvk::test
