// The info panel's readouts and the zone box's EV distances.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/window/info_readout.h"

namespace dvk {
namespace {

// An increasing table: level i holds i / 65534 x 100 (a linear L* scale).
std::vector<float> linearTable() {
    std::vector<float> t(kToneTableSize);
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<float>(i) / 65534.0f * 100.0f;
    return t;
}

float expectedEv(long lo, long hi, float g) {
    return -std::log2(g / 100.0f) -
           (15.999978f - (std::log2(static_cast<float>(lo + 1)) + std::log2(static_cast<float>(hi + 1))) / 2.0f);
}

TEST(Readout, EvBracketStaysInsideTheTable) {
    const std::vector<float> t = linearTable();
    // Between two levels: lo the last not above, hi the next.
    const float L = t[1000] + (t[1001] - t[1000]) / 2;
    EXPECT_FLOAT_EQ(evOfValue(t.data(), 1, L, 12.5f), expectedEv(1000, 1001, 12.5f));
    // Below the first entry and at or above the last: clamped, finite.
    EXPECT_FLOAT_EQ(evOfValue(t.data(), 1, -5.0f, 12.5f), expectedEv(0, 0, 12.5f));
    EXPECT_FLOAT_EQ(evOfValue(t.data(), 1, 100.0f, 12.5f), expectedEv(65534, 65534, 12.5f));
    EXPECT_FLOAT_EQ(evOfValue(t.data(), 1, 1.0e9f, 18.0f), expectedEv(65534, 65534, 18.0f));
    // A column of RGB triples.
    std::vector<float> rgb(kToneTableSize * 3);
    for (std::size_t i = 0; i < kToneTableSize; ++i) rgb[3 * i + 1] = t[i] / 100.0f;
    EXPECT_FLOAT_EQ(evOfValue(rgb.data() + 1, 3, t[2000] / 100.0f, 12.5f), expectedEv(2000, 2001, 12.5f));
}

TEST(Readout, AreasAveragePixelsInsideOnly) {
    // 4 x 2 preview: pixel value = column / 10 in red, row in green.
    std::vector<float> rgb(4 * 2 * 3), lab(4 * 2 * 3, 50.0f);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            rgb[(y * 4 + x) * 3] = x / 10.0f;
            rgb[(y * 4 + x) * 3 + 1] = static_cast<float>(y);
        }
    // Partly outside (the corner 3 x 3 around (0, 0)): only the four pixels inside.
    AreaMean m = meanOverArea(rgb.data(), lab.data(), 4, 2, 0, 0, 1, 1);
    EXPECT_EQ(m.count, 4);
    EXPECT_NEAR(m.r, 0.05, 1e-7);
    EXPECT_DOUBLE_EQ(m.g, 0.5);
    EXPECT_DOUBLE_EQ(m.L, 50.0);
    // Wholly outside: nothing counted, everything 0, no division.
    m = meanOverArea(rgb.data(), lab.data(), 4, 2, 10, 10, 1, 1);
    EXPECT_EQ(m.count, 0);
    EXPECT_EQ(m.r, 0.0);
    EXPECT_EQ(m.L, 0.0);
    EXPECT_FALSE(std::isnan(m.g));
}

TEST(Readout, FieldsZonesAndDensity) {
    const std::vector<float> t = linearTable();
    std::vector<float> rgb(2 * 2 * 3, 0.5f), lab(2 * 2 * 3, 0.0f);
    for (int i = 0; i < 4; ++i) lab[i * 3] = 42.35f;
    ReadoutInput in;
    in.preview = rgb.data();
    in.labPreview = lab.data();
    in.width = in.height = 2;
    in.x = 1, in.y = 1;
    in.LScale = t.data();
    const InfoReadout out = readOutArea(in);
    EXPECT_EQ(out.fields.at("infoR"), "127.5");
    EXPECT_EQ(out.fields.at("infoL"), "42.3");  // 42.35 in single precision is 42.3499...
    EXPECT_EQ(out.fields.at("infoX"), "1");
    EXPECT_EQ(out.fields.at("infoDR"), "");  // no grey scale yet
    // Zone V starts at the picked lightness: distance 0.
    EXPECT_EQ(out.zoneTitles[5], "+0.0");
    EXPECT_EQ(out.zoneTitles[0].substr(0, 1), "-");
    // Raw output: Lab fields 0, zone buttons blank.
    in.raw = true;
    const InfoReadout raw = readOutArea(in);
    EXPECT_EQ(raw.fields.at("infoL"), "0");
    EXPECT_EQ(raw.fields.at("infoDL"), "0");
    EXPECT_EQ(raw.zoneTitles[3], "");
    // Density: L* 100 is Y 100 (0.0); below L* 8 the linear form; none at L* -16.
    EXPECT_NEAR(opticalDensity(100.0), 0.0, 1e-12);
    EXPECT_NEAR(opticalDensity(50.0), std::log10(100.0 / (std::pow(66.0 / 116.0, 3) * 100.0)), 1e-12);
    EXPECT_NEAR(opticalDensity(4.0), std::log10(100.0 / ((20.0 / 116.0 - 4.0 / 29.0) * 12.841854934601665)), 1e-12);
    EXPECT_TRUE(std::isnan(opticalDensity(-16.0)));
}

TEST(Readout, ZoneClicksStepTheCompression) {
    EXPECT_EQ(zoneClickCompression(0.5f, 2, "+1.5", "+2.0", false, 0), 2.0f);
    // With Shift, the middle of the zone.
    EXPECT_EQ(zoneClickCompression(0.0f, 2, "+1.5", "+2.0", true, 0), 1.75f);
    // The last zone's upper end is the distance of L* 99 from the pick, to one decimal.
    EXPECT_EQ(zoneClickCompression(0.0f, 7, "+2.0", "", true, 2.96f), 2.5f);
    EXPECT_FALSE(zoneClickCompression(1.0f, 3, "+0.0", "+1.0", false, 0));
    EXPECT_FALSE(zoneClickCompression(1.0f, 3, "", "", false, 0));  // blank under raw output
}

}  // namespace
}  // namespace dvk
