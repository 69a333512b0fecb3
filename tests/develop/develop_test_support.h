// Helpers of the develop tests: reading saved images back, patch means,
// synthetic raw files (and a suite sharing one) and running a RawProcessor
// down the save road.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "tests/support/test_paths.h"

namespace dvk::test {

struct Image {
    unsigned width = 0, height = 0;
    unsigned bits = 0;           // per sample
    unsigned photometric = 0;    // TIFF photometric; 6 (YCbCr) for JPEG
    unsigned sample_format = 1;  // TIFF SampleFormat
    std::vector<float> px;       // 3 per pixel: RGB 0..1, or CIELab units
    std::vector<unsigned char> icc;
    std::string datetime;        // TIFF DateTime tag
    bool ok = false;
};

// A TIFF written by the writers (RGB 8/16/float or 16-bit CIELab), decoded.
Image read_tiff_image(const std::filesystem::path& path);
// A JPEG, decoded to RGB 0..1, with its ICC profile.
Image read_jpeg_image(const std::filesystem::path& path);

// Mean of the 3 channels over a square of half-size `r` around (x, y).
std::array<double, 3> patch_mean(const Image& img, unsigned x, unsigned y, unsigned r);

// Develops `raw` with `p` as the save road does: destination, load (half
// size for interpolation 2), convertImage, saveImage. Returns saveImage's code
// (or -1 when the load fails).
// `after_load` (may be empty) runs between the load and the conversion.
int develop(RawProcessor& p, const std::filesystem::path& raw, const std::string& destination,
            const std::function<void(RawProcessor&)>& after_load = {});
// White balance from the inside of the grey square of write_scene_dng, for an
// image loaded at `width` x `height`.
void balance_on_grey_square(RawProcessor& p);

// A Bayer DNG of a smooth scene with a few flat colour areas, in `dir`.
std::filesystem::path write_scene_dng(const std::filesystem::path& dir, unsigned width, unsigned height,
                                      const std::string& name = "scene.dng");

// A test suite whose tests share one 96 x 64 scene raw file (write_scene_dng),
// written once for the suite: raw_, in the folder dir_.
template <class Base = ::testing::Test>
class SceneFileSuite : public Base {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        raw_ = write_scene_dng(dir_->path(), 96, 64);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static inline TempDir* dir_ = nullptr;
    static inline std::filesystem::path raw_;
};

double hue_degrees(double a, double b);
double hue_distance(double h1, double h2);

}  // namespace dvk::test
