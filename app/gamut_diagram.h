// The gamut diagram: the CIE a*b* plane, 256 x 256 RGB bytes (a* + 128
// across, 128 - b* down), with its grid, the gamut of the output profile (red)
// and of a second profile (green), and the preview's pixels plotted in their
// own colours, all of them or one lightness slice.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/geometry.h"
#include "pipeline/stages/gamut_map.h"  // kGamutPoints

namespace dvk {

class Profile;

inline constexpr int kDiagramSize = 256;

struct DiagramInput {
    const float* preview = nullptr;     // float RGB 0..1
    const float* labPreview = nullptr;  // CIELab (null: no image points)
    unsigned width = 0, height = 0;
    RectD rect;                         // empty: the whole preview
    bool raw = false;
    bool labOutput = false;             // save format 2 (CIELab TIFF): no output gamut
    const std::uint8_t* gamutArr = nullptr;      // kGamutPoints byte triples (L, a, b)
    const std::uint8_t* diagGamutArr = nullptr;  // the second profile's, or null
    bool fullGamut = false;
    double diagramL = 50;               // L* of the slice
};

// The diagram image, kDiagramSize x kDiagramSize x 3 bytes.
std::vector<std::uint8_t> renderDiagram(const DiagramInput& in);

// The gamut of a device profile as kGamutPoints byte triples: the surface of
// the device cube (CMYK profiles through their CMY cube with black taken
// out) converted to CIELab, L* x 2.55, a* + 128, b* + 128, each truncated
// within 0..255. Empty, with a reason in *error, for a profile neither RGB
// nor CMYK or one that gives no transform.
std::vector<std::uint8_t> gamutOfProfile(const std::shared_ptr<const Profile>& profile, std::string* error);

}  // namespace dvk
