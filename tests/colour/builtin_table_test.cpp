#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <lcms2.h>

#include "colour/builtin_profiles.h"
#include "tests/colour/builtin_index.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"

namespace dvk {
namespace {

TEST(BuiltinTable, HasTheFixedRows) {
    EXPECT_STREQ(builtin_profiles[0].name, "Lab");
    EXPECT_STREQ(builtin_profiles[1].name, "Uplab");
    EXPECT_STREQ(builtin_profiles[2].name, "Built-in");
    EXPECT_STREQ(builtin_profiles[3].name, "BetaRGB2.2");
    EXPECT_EQ(builtin_profiles[3].length, 592u);
    EXPECT_STREQ(builtin_profiles[13].name, "HD709A");
    EXPECT_STREQ(builtin_profiles[14].name, "BetaRGBV100");
    EXPECT_STREQ(builtin_profiles[25].name, "BetaRGBBlue");
    EXPECT_STREQ(builtin_profiles[26].name, "GF Lith Selenium-Gold");
    EXPECT_STREQ(builtin_profiles[36].name, "TP25 B&W");
    EXPECT_STREQ(builtin_profiles[37].name, "Fuji S100FS");
    EXPECT_STREQ(builtin_profiles[56].name, "Nikon D700 800");
    EXPECT_EQ(builtin_profiles[56].saturation, 20.0f);
    EXPECT_STREQ(builtin_profiles[118].name, "Canon 7D 3200");
    EXPECT_EQ(builtin_profiles[118].saturation, 0.0f);
    EXPECT_STREQ(builtin_profiles[151].name, "Sony Alpha");
    EXPECT_EQ(builtin_profiles[151].saturation, 30.0f);
    EXPECT_STREQ(builtin_profiles[196].name, "Phase One P45+");
    EXPECT_STREQ(builtin_profiles[197].name, "Phase One P45+ Incandescent");
    EXPECT_STREQ(builtin_profiles[215].name, "Phase One P20 Incandescent");
    EXPECT_EQ(builtin_profiles[215].saturation, 55.0f);
    EXPECT_STREQ(builtin_profiles[218].name, "Ricoh");
    EXPECT_STREQ(builtin_profiles[219].name, "Default Profile");
}

TEST(BuiltinTable, NamesAreUniqueAndStorageMatchesTheRows) {
    std::set<std::string> names;
    for (unsigned i = 0; i < kBuiltinProfileCount; ++i) {
        const BuiltinProfileEntry& e = builtin_profiles[i];
        EXPECT_TRUE(names.insert(e.name).second) << e.name;
        if (i < 3) {
            EXPECT_EQ(e.data, nullptr);
            EXPECT_EQ(e.packed, nullptr);
            EXPECT_EQ(e.length, 0u);
        } else if (i <= 13 || i == 219) {
            EXPECT_NE(e.data, nullptr) << i;
            EXPECT_EQ(e.packed, nullptr) << i;
        } else {
            EXPECT_NE(e.packed, nullptr) << i;
            EXPECT_NE(e.slot, nullptr) << i;
            // Key material: 62 to 65 non-text bytes before the first zero.
            std::size_t n = std::strlen(e.unpack_param);
            EXPECT_GE(n, 62u) << i;
            EXPECT_LE(n, 65u) << i;
            for (std::size_t k = 0; k < n; ++k) EXPECT_GE(static_cast<unsigned char>(e.unpack_param[k]), 0x80u);
        }
    }
}

TEST(BuiltinTable, SaturationColumn) {
    const std::pair<const char*, float> cases[] = {
        {"Fuji XPro1", 15},  {"Nikon D3X 50", 20},    {"Nikon D3S 800", 30}, {"NikonD1", 35},
        {"Canon 10D", 43},   {"Canon 300D", 43},      {"Canon 5D", 47},      {"Canon 1D MkIII", 25},
        {"Canon 1Ds", 55},   {"Canon P&S 1", 17},     {"Olympus E410", 20},  {"Panasonic LX3", 30},
        {"Kodak SLR", 15},   {"Kodak 760", 43},       {"Canon 5D Mark II 12800", 20},
        {"Nikon D4", 0},     {"BetaRGB2.2", 0},       {"Canon 7D 100", 0},
    };
    for (auto& c : cases) {
        int i = test::builtin_index_of(c.first);
        ASSERT_GE(i, 0) << c.first;
        EXPECT_EQ(builtin_profiles[i].saturation, c.second) << c.first;
    }
}

TEST(BuiltinTable, DefaultProfileSharesTheAdobeBytes) {
    EXPECT_EQ(builtin_profiles[219].data, builtin_profiles[5].data);
    EXPECT_EQ(builtin_profiles[219].length, builtin_profiles[5].length);
    EXPECT_STREQ(builtin_profiles[5].name, "AdobeRGB2.2");
}

TEST(BuiltinTable, TwoPairsShareOneBlobAndSlot) {
    const int a = test::builtin_index_of("Canon 10D"), b = test::builtin_index_of("Canon 300D");
    const int c = test::builtin_index_of("Canon 1D MkII"), d = test::builtin_index_of("Canon 1D MkIIn Outdoors");
    EXPECT_EQ(builtin_profiles[a].packed, builtin_profiles[b].packed);
    EXPECT_EQ(builtin_profiles[a].slot, builtin_profiles[b].slot);
    EXPECT_EQ(builtin_profiles[c].packed, builtin_profiles[d].packed);
    EXPECT_EQ(builtin_profiles[c].slot, builtin_profiles[d].slot);
    // Every other packed entry has a blob of its own.
    std::set<const void*> blobs;
    for (unsigned i = 14; i < 219; ++i) blobs.insert(builtin_profiles[i].packed);
    EXPECT_EQ(blobs.size(), 205u - 2u);
}

// Every row with data opens in LittleCMS with the kind of data it stands for.
TEST(BuiltinTable, EveryRowOpensInLittleCms) {
    for (unsigned i = 0; i < kBuiltinProfileCount; ++i) {
        if (i == 2) continue;  // "Built-in" exists after a load only
        int index = -5;
        auto p = getDVKProfileRef(builtin_profiles[i].name, &index);
        ASSERT_NE(p, nullptr) << builtin_profiles[i].name;
        EXPECT_EQ(index, int(i));
        EXPECT_GE(p->bytes().size(), 128u);
        const auto& b = p->bytes();
        const std::uint32_t size = (std::uint32_t(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
        EXPECT_EQ(size, b.size()) << builtin_profiles[i].name;
        if (i >= 3) {
            EXPECT_EQ(b.size(), builtin_profiles[i].length);
        }
        if (i >= 3 && i <= 25) {
            EXPECT_EQ(p->colour_space(), cmsSigRgbData) << builtin_profiles[i].name;
        }
        if (i == 1 || (i >= 26 && i <= 36)) {
            EXPECT_EQ(p->colour_space(), cmsSigLabData) << builtin_profiles[i].name;
        }
        if (i >= 37 && i <= 218) {
            EXPECT_EQ(p->colour_space(), cmsSigRgbData);
            EXPECT_EQ(p->device_class(), cmsSigInputClass);
            EXPECT_NE(p->description().find(builtin_profiles[i].name), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace dvk

#include <libraw/libraw.h>

#include "colour/camera_matrix.h"

namespace dvk {
namespace {

std::vector<std::uint8_t> colorant_bytes(const std::vector<std::uint8_t>& b) {
    // rXYZ, gXYZ, bXYZ data: the first three tags of a camera matrix profile.
    std::vector<std::uint8_t> out;
    for (int t = 0; t < 3; ++t) {
        const std::size_t e = 132 + 12 * std::size_t(t);
        const std::size_t off = (std::size_t(b[e + 4]) << 24) | (b[e + 5] << 16) | (b[e + 6] << 8) | b[e + 7];
        out.insert(out.end(), b.begin() + long(off), b.begin() + long(off + 20));
    }
    return out;
}

// A camera row is the camera matrix profile of LibRaw's matrix for its model,
// made as "Built-in" is made.
TEST(BuiltinTable, CameraRowsComeFromLibRawMatrices) {
    LibRaw raw;
    raw.imgdata.idata.colors = 3;
    raw.adobe_coeff(LIBRAW_CAMERAMAKER_Nikon, "D700", 0);
    double k[9], r[9];
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 3; ++j) k[c + 3 * j] = raw.imgdata.color.cam_xyz[c][j];
    ASSERT_EQ(camera_rgb_to_xyz_d50(k, r), nullptr);
    const auto expected = colorant_bytes(camera_matrix_icc_bytes("x", r));
    for (const char* name : {"Nikon D700 100", "Nikon D700 800", "Nikon D700 25600"}) {
        auto p = getDVKProfileRef(name, nullptr);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(colorant_bytes(p->bytes()), expected) << name;
        // Header as "Built-in" has it.
        EXPECT_EQ(std::memcmp(&p->bytes()[4], "appl", 4), 0);
        EXPECT_EQ(std::memcmp(&p->bytes()[80], "DNG ", 4), 0);
    }
    // Twins share their base model's matrix too; other cameras differ.
    EXPECT_EQ(colorant_bytes(getDVKProfileRef("Phase One P45 Incandescent", nullptr)->bytes()),
              colorant_bytes(getDVKProfileRef("Phase One P45", nullptr)->bytes()));
    EXPECT_NE(colorant_bytes(getDVKProfileRef("Canon 5D", nullptr)->bytes()), expected);
}

}  // namespace
}  // namespace dvk
