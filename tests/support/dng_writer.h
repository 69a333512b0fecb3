// Synthetic DNG files of known content for loader and stage tests.
//
// A DngSpec describes one uncompressed 16-bit DNG: its sensor layout (2 x 2
// Bayer in any phase, 6 x 6 X-Trans, three-colour LinearRaw or monochrome),
// the camera and shot metadata, black and white levels, colour matrices with
// their illuminants, and the samples themselves. write_dng() writes it with
// libtiff (the shot data in an EXIF sub-directory, where LibRaw reads it).
//
//   DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 48);
//   s.phase = BayerPhase::GRBG;
//   fill_gradient(s);            // or set s.samples directly
//   write_dng(dir / "a.dng", s);
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace dvk::test {

enum class DngLayout { Bayer, XTrans, LinearRaw, Mono };
// Colours of the top-left 2 x 2 block, row by row.
enum class BayerPhase { RGGB, BGGR, GRBG, GBRG };

struct DngSpec {
    unsigned width = 64;
    unsigned height = 48;
    DngLayout layout = DngLayout::Bayer;
    BayerPhase phase = BayerPhase::RGGB;
    // A 2 x 2 mosaic of sensors with other colours (Bayer layout only): the
    // CFAPattern's plane indices of the top-left block, row by row, in place
    // of `phase`, and the CFAPlaneColor values (DNG codes: 0 red, 1 green,
    // 2 blue, 3 cyan, 4 magenta, 5 yellow). {0, 1, 2, 3} with planes
    // {0, 1, 2, 3} is a red, green, blue and cyan sensor; empty: `phase`, and
    // the planes red, green, blue. The colour count is the plane count.
    std::vector<std::uint8_t> cfa_block;
    std::vector<std::uint8_t> cfa_planes;
    // Colour (0 red, 1 green, 2 blue) of each site of the 6 x 6 X-Trans block, row by row.
    std::array<std::uint8_t, 36> xtrans = {
        1, 1, 0, 1, 1, 2,  //
        1, 1, 2, 1, 1, 0,  //
        2, 0, 1, 0, 2, 1,  //
        1, 1, 2, 1, 1, 0,  //
        1, 1, 0, 1, 1, 2,  //
        0, 2, 1, 2, 0, 1,  //
    };

    std::string make = "Acme";
    std::string model = "Fixture 1";
    std::string unique_model;          // empty: make + " " + model
    double iso = 400;
    double exposure_time = 1.0 / 125;  // seconds
    double f_number = 5.6;
    double focal_length = 50;          // millimetres
    std::string datetime = "2021:06:15 14:30:45";  // local time, EXIF format

    double black_level = 256;
    std::uint32_t white_level = 4095;

    // XYZ to camera, colours x 3 values row by row; empty leaves the tag out.
    std::vector<double> color_matrix1 = {0.4716, 0.0603, -0.0830, -0.7798, 1.5474, 0.2480, -0.1496, 0.1937, 0.6651};
    std::uint16_t illuminant1 = 21;   // D65
    std::vector<double> color_matrix2;
    std::uint16_t illuminant2 = 17;   // standard light A
    std::vector<double> as_shot_neutral = {0.5, 1.0, 0.8};  // one value a colour; empty leaves it out

    // DefaultCropOrigin / DefaultCropSize; written when crop_width is non-zero.
    unsigned crop_left = 0, crop_top = 0, crop_width = 0, crop_height = 0;

    // Storage details: big-endian ("MM") samples instead of the host's order;
    // a LinearizationTable (empty leaves it out); an ActiveArea (top, left,
    // bottom, right; written when bottom is non-zero) and MaskedAreas (four
    // values a rectangle, in the same order).
    bool big_endian = false;
    std::vector<std::uint16_t> linearization;
    std::array<std::uint32_t, 4> active_area = {0, 0, 0, 0};
    std::vector<std::uint32_t> masked_areas;

    // width x height x samples_per_pixel() values, row by row, pixel by pixel.
    std::vector<std::uint16_t> samples;
};

// A description with the defaults above, the given layout and size, and every sample
// at the black level (monochrome files get a one-row colour matrix).
DngSpec make_dng_spec(DngLayout layout, unsigned width, unsigned height);

unsigned samples_per_pixel(const DngSpec& dng);
unsigned colour_count(const DngSpec& dng);

// Colour 0..2 (red, green, blue) of sensor site (row, col) of a mosaic layout
// (a plane index, up to 3, with `cfa_block`); -1 for LinearRaw and monochrome
// files.
int cfa_colour(const DngSpec& dng, unsigned row, unsigned col);

// Sample of channel `c` at (row, col).
std::uint16_t& sample_at(DngSpec& dng, unsigned row, unsigned col, unsigned c = 0);

// Fills the samples with a deterministic pattern between the black and white
// levels that differs by colour, row and column (seeded, repeatable).
void fill_gradient(DngSpec& dng, std::uint32_t seed = 1);
// make_dng_spec followed by fill_gradient: the everyday fixture of the tests.
DngSpec gradient_dng(DngLayout layout, unsigned width, unsigned height);
// Every sample of colour k (mosaic) or channel k (LinearRaw) becomes value[k]
// (a fourth plane takes the green value).
void fill_flat(DngSpec& dng, const std::array<std::uint16_t, 3>& value);
// Samples from a scene: `scene(row, col)` gives linear R, G, B in 0..1 (1 =
// white level); mosaic sites keep their own colour (a fourth plane takes G),
// monochrome files take G.
void fill_from_scene(DngSpec& dng, const std::function<std::array<double, 3>(unsigned row, unsigned col)>& scene);

// Writes the file; returns false (with a reason in *error when given) when
// the description is inconsistent or libtiff fails.
bool write_dng(const std::filesystem::path& path, const DngSpec& dng, std::string* error = nullptr);

// Byte helpers for corrupting fixtures.
std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path);
bool write_bytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace dvk::test
