// The gamut diagram: the CIE a*b* plane, 256 x 256 RGB bytes (a* + 128
// across, 128 - b* down), with its grid, the gamut of the output profile (red)
// and of a second profile (green), and the preview's pixels plotted in their
// own colours, all of them or one lightness slice.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/window/geometry.h"
#include "core/aligned_buffer.h"
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

// The parts of renderDiagram, for a walk over the preview that does more.
// The grid and the gamuts, without the image's points.
std::vector<std::uint8_t> diagramBackground(const DiagramInput& in);
// Whether the image's pixels are plotted (an image, colour managed).
bool diagramPlotsPixels(const DiagramInput& in);

// A point replaces a cell's colour when it is heavier (0.24 R + 0.7 G +
// 0.06 B) or the cell is marked (a byte 255 or 111), in pixel order. A run of
// pixels (rows one after the other) is played onto cells of its own that
// take their first point; laid on the diagram, it then acts on each cell as a
// whole: if the cell is marked, or the run's heaviest point there is heavier
// than the cell, the cell ends as the run left it (the heaviest point is
// always taken, and from it on the run goes as it went on its own);
// otherwise the run leaves the cell alone. So runs may be played on threads
// of their own and laid in order afterwards.
class DiagramRun {
public:
    explicit DiagramRun(const DiagramInput& in);
    bool valid() const { return colour_ && state_ && heaviest_; }
    // Plays `pixels` pixels of a row (RGB and CIELab floats).
    void playRow(const float* rgb, const float* lab, std::size_t pixels);
    // The same without the AVX2 build, for comparisons.
    void playRowPlain(const float* rgb, const float* lab, std::size_t pixels);
    // Lays the run on a diagram image.
    void layOn(std::vector<std::uint8_t>& img) const;

private:
    // A point: its cell, its colour (R | G << 8 | B << 16), weight and mark.
    void play(std::uint32_t cell, std::uint32_t colour, std::uint32_t weight, bool marked);
    bool inSlice(float L) const;
    void playRowAvx2(const float* rgb, const float* lab, std::size_t pixels);

    bool fullGamut_;
    long slice_;
    // The slice's bounds on L* x 2.55 (rounded half away from zero to the
    // slice): which of them belong to it.
    double sliceLow_, sliceHigh_;
    bool lowIn_, highIn_;
    // Each cell's colour, its state (weight x 2, plus 1 while marked: a
    // marked cell takes any point, and every cell starts so) and the weight
    // of its heaviest point plus 1 (0: no point came).
    AlignedBuffer<std::uint32_t> colour_;
    AlignedBuffer<std::uint16_t> state_, heaviest_;
};

// The gamut of a device profile as kGamutPoints byte triples: the surface of
// the device cube (CMYK profiles through their CMY cube with black taken
// out) converted to CIELab, L* x 2.55, a* + 128, b* + 128, each truncated
// within 0..255. Empty, with a reason in *error, for a profile neither RGB
// nor CMYK or one that gives no transform.
std::vector<std::uint8_t> gamutOfProfile(const std::shared_ptr<const Profile>& profile, std::string* error);

}  // namespace dvk
