// The info panel's readouts: the mean colour of a picked area of the preview,
// the exposure of each channel and of the lightness relative to the grey
// point, the optical density, and the zone box's EV distances; and the
// highlight-compression step of a click on a zone.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace dvk {

// The eight lightness zones "0" .. "VII": lower L* bounds (the last zone
// ends at 100).
inline constexpr int kZoneCount = 8;
inline constexpr float kZoneBounds[kZoneCount] = {0.0f, 7.19f, 13.18f, 20.76f, 30.31f, 42.35f, 57.52f, 76.63f};
extern const char* const kZoneNames[kZoneCount];

// Level count of the lightness and grey-scale tables (16-bit levels 0..65534).
inline constexpr std::size_t kToneTableSize = 65535;

// The EV of `value` against an increasing table of kToneTableSize entries
// (`stride` floats apart): the bracket lo, hi around the value found by
// halving (lo the last level not above it, hi the first above), both kept
// within the table, placed relative to the grey point `grayPoint` (L*).
float evOfValue(const float* table, std::size_t stride, float value, float grayPoint);

// Optical density log10(100 / Y) of a lightness L* (NaN when Y is not positive).
double opticalDensity(double L);

// The mean of the float RGB preview and its CIELab copy over rows y - dy ..
// y + dy and columns x - dx .. x + dx, positions outside the image skipped.
struct AreaMean {
    double r = 0, g = 0, b = 0;
    double L = 0, a = 0, bb = 0;
    long count = 0;  // pixels averaged; 0 leaves every mean at 0
};
AreaMean meanOverArea(const float* preview, const float* labPreview, unsigned width, unsigned height, int x, int y,
                      int dx, int dy);

struct ReadoutInput {
    const float* preview = nullptr;     // float RGB, width x height x 3
    const float* labPreview = nullptr;  // CIELab, same layout (null: none)
    unsigned width = 0, height = 0;
    int x = -1, y = -1, dx = 1, dy = 1;  // the area
    bool raw = false;                    // output without colour management
    const float* LScale = nullptr;       // kToneTableSize lightness values
    const float* grayScale = nullptr;    // kToneTableSize RGB triples (null: no channel EVs)
    float grayPoint = 12.5f;
};

// The texts of the info fields ("infoX", "infoY", "infoR", "infoG", "infoB",
// "infoL", "infoa", "infob", "infoDR", "infoDG", "infoDB", "infoDL") and the
// titles of the eight zone buttons.
struct InfoReadout {
    std::map<std::string, std::string> fields;
    std::array<std::string, kZoneCount> zoneTitles;
};
InfoReadout readOutArea(const ReadoutInput& in);

// The new highlight compression after a click on zone `zone` whose button
// shows `title`; with Shift the middle of the zone: the mean of this title and
// `nextTitle` (the next zone's), or for the last zone of this title and
// `lastZoneTop` (the distance of L* 99 from the picked lightness). Nothing
// when the value would not change.
std::optional<float> zoneClickCompression(float hlCompression, int zone, const std::string& title,
                                          const std::string& nextTitle, bool shift, float lastZoneTop);

}  // namespace dvk
