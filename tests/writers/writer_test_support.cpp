#include "writer_test_support.h"

#include <lcms2.h>

#include "tests/support/run_command.h"

namespace dvk::test {

std::vector<char> make_icc_profile(bool linear) {
    cmsHPROFILE p;
    if (linear) {
        cmsCIExyY white;
        cmsWhitePointFromTemp(&white, 5000);
        cmsCIExyYTRIPLE prim = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
        cmsToneCurve* g = cmsBuildGamma(nullptr, 1.0);
        cmsToneCurve* curves[3] = {g, g, g};
        p = cmsCreateRGBProfile(&white, &prim, curves);
        cmsFreeToneCurve(g);
    } else {
        p = cmsCreate_sRGBProfile();
    }
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    std::vector<char> bytes(n);
    cmsSaveProfileToMem(p, bytes.data(), &n);
    cmsCloseProfile(p);
    return bytes;
}

WriterRecord::WriterRecord(long long timestamp) {
    dvklib_new(&d);
    d.libraw->imgdata.other.timestamp = static_cast<time_t>(timestamp);
    output_icc = make_icc_profile(false);
    linear_icc = make_icc_profile(true);
    d.output_profile_name = "sRGB test";
    d.output_profile_data = output_icc.data();
    d.output_profile_size = static_cast<std::uint32_t>(output_icc.size() + 1);
    d.linear_profile_name = "linear test";
    d.linear_profile_data = linear_icc.data();
    d.linear_profile_size = static_cast<std::uint32_t>(linear_icc.size() + 1);
}

WriterRecord::~WriterRecord() { dvklib_delete(&d); }

std::string exiftool_tag(const std::string& file, const std::string& tag) {
    std::string out = run_command("exiftool -s3 -" + tag + " " + shell_quoted(file) + " 2>/dev/null").out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

bool lcms_opens(const void* bytes, std::size_t size, std::string* desc) {
    cmsHPROFILE p = cmsOpenProfileFromMem(bytes, static_cast<cmsUInt32Number>(size));
    if (!p) return false;
    if (desc) {
        char buf[256] = {0};
        cmsGetProfileInfoASCII(p, cmsInfoDescription, "en", "US", buf, sizeof buf);
        *desc = buf;
    }
    cmsCloseProfile(p);
    return true;
}

}  // namespace dvk::test
