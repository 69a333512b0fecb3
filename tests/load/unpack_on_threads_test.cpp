// unpack_on_threads against LibRaw's unpack: the same raw samples, sizes,
// colour data (black levels, masked-area statistics) and progress, for the
// real chart file and for uncompressed DNG files stored every way the
// threaded read handles (byte order, linearisation table, masked areas and
// margins, odd sizes, monochrome), and for files it leaves to LibRaw.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/dvklib.h"
#include "core/libraw_dvk.h"
#include "tests/support/dng_writer.h"
#include "tests/support/engine_state.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

// Opens `path` twice, unpacks it both ways and compares what the loader reads.
void expect_same_unpack(const fs::path& path, int threads, const std::string& what) {
    SCOPED_TRACE(what);
    BandThreadCount count(threads);
    LibRaw_DVK ours, theirs;
    ASSERT_EQ(ours.open_file(path.c_str()), LIBRAW_SUCCESS);
    ASSERT_EQ(theirs.open_file(path.c_str()), LIBRAW_SUCCESS);
    const int a = ours.unpack_on_threads(), b = theirs.unpack();
    ASSERT_EQ(a, b);
    if (b != LIBRAW_SUCCESS) return;
    const libraw_rawdata_t &x = ours.imgdata.rawdata, &y = theirs.imgdata.rawdata;
    // One sample a pixel in raw_image; three or four in the colour images.
    const auto samples_of = [](const libraw_rawdata_t& r) -> const void* {
        if (r.raw_image) return r.raw_image;
        if (r.color4_image) return r.color4_image;
        return r.color3_image;
    };
    ASSERT_NE(samples_of(x), nullptr);
    ASSERT_NE(samples_of(y), nullptr);
    EXPECT_EQ(x.raw_image != nullptr, y.raw_image != nullptr);
    EXPECT_EQ(x.sizes.raw_pitch, y.sizes.raw_pitch);
    const std::size_t bytes = std::size_t(y.sizes.raw_height) * y.sizes.raw_pitch;
    EXPECT_EQ(std::memcmp(samples_of(x), samples_of(y), bytes), 0);
    // The records the loader reads after the unpack, whole.
    EXPECT_EQ(std::memcmp(&ours.imgdata.color, &theirs.imgdata.color, sizeof(libraw_colordata_t)), 0);
    EXPECT_EQ(std::memcmp(&x.color, &y.color, sizeof(libraw_colordata_t)), 0);
    EXPECT_EQ(std::memcmp(&ours.imgdata.sizes, &theirs.imgdata.sizes, sizeof(libraw_image_sizes_t)), 0);
    EXPECT_EQ(std::memcmp(&x.sizes, &y.sizes, sizeof(libraw_image_sizes_t)), 0);
    EXPECT_EQ(std::memcmp(&x.iparams, &y.iparams, sizeof(libraw_iparams_t)), 0);
    EXPECT_EQ(std::memcmp(&x.ioparams, &y.ioparams, sizeof(libraw_internal_output_params_t)), 0);
    EXPECT_EQ(ours.imgdata.progress_flags, theirs.imgdata.progress_flags);
    // A second unpack is refused by both.
    EXPECT_EQ(ours.unpack_on_threads(), theirs.unpack());
}

TEST(UnpackOnThreads, ChartAsLibRaw) {
    const fs::path chart = testdata_dir() / "raw" / "colorchart.dng";
    expect_same_unpack(chart, 4, "chart, 4 threads");
    expect_same_unpack(chart, 1, "chart, 1 thread");
}

TEST(UnpackOnThreads, StorageFormsAsLibRaw) {
    TempDir dir;
    struct Case {
        const char* name;
        DngSpec spec;
    };
    std::vector<Case> cases;
    DngSpec plain = gradient_dng(DngLayout::Bayer, 67, 45);  // odd sizes
    plain.white_level = 16383;
    cases.push_back({"host order", plain});
    DngSpec swapped = plain;
    swapped.big_endian = true;
    cases.push_back({"big-endian", swapped});
    // A table that changes every value (reversed, so order matters).
    DngSpec table = gradient_dng(DngLayout::Bayer, 40, 30);
    table.white_level = 4095;
    for (unsigned v = 0; v < 4096; ++v) table.linearization.push_back(std::uint16_t(3 * (4095 - v) + 7));
    table.big_endian = true;
    cases.push_back({"linearisation table", table});
    // An active area inside the sensor and masked columns at its left: the
    // black level then comes from the masked samples.
    DngSpec masked = gradient_dng(DngLayout::Bayer, 72, 50);
    masked.active_area = {2, 8, 50, 72};
    masked.masked_areas = {2, 0, 50, 6};
    for (unsigned row = 0; row < 50; ++row)
        for (unsigned col = 0; col < 6; ++col) sample_at(masked, row, col) = std::uint16_t(200 + (row * 7 + col) % 90);
    cases.push_back({"masked areas", masked});
    cases.push_back({"monochrome", gradient_dng(DngLayout::Mono, 33, 23)});
    // Left to LibRaw: three samples a pixel.
    cases.push_back({"linear raw", gradient_dng(DngLayout::LinearRaw, 32, 24)});
    int k = 0;
    for (const Case& c : cases) {
        const fs::path path = dir / ("f" + std::to_string(k++) + ".dng");
        std::string error;
        ASSERT_TRUE(write_dng(path, c.spec, &error)) << c.name << ": " << error;
        expect_same_unpack(path, 3, c.name);
        expect_same_unpack(path, 8, c.name);
    }
}

// Sets the ImageLength of the first directory of a little-endian TIFF.
bool patch_image_length(std::vector<std::uint8_t>& b, std::uint32_t rows) {
    const auto u16 = [&](std::size_t at) { return std::uint32_t(b[at] | b[at + 1] << 8); };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (b.size() < 8 || b[0] != 'I' || b[1] != 'I') return false;
    const std::size_t ifd = u32(4);
    if (ifd + 2 > b.size()) return false;
    for (std::uint32_t i = 0, n = u16(ifd); i < n; ++i) {
        const std::size_t e = ifd + 2 + 12 * std::size_t(i);
        if (e + 12 > b.size()) return false;
        if (u16(e) != 257) continue;
        const int bytes = u16(e + 2) == 3 ? 2 : 4;
        for (int k = 0; k < bytes; ++k) b[e + 8 + k] = std::uint8_t(rows >> (8 * k));
        return true;
    }
    return false;
}

TEST(UnpackOnThreads, ShortFileAsLibRaw) {
    // The file claims twice the rows it holds: LibRaw's read of the missing
    // rows decides what they are.
    TempDir dir;
    const fs::path path = dir / "short.dng";
    ASSERT_TRUE(write_dng(path, gradient_dng(DngLayout::Bayer, 64, 48)));
    std::vector<std::uint8_t> bytes = read_bytes(path);
    ASSERT_TRUE(patch_image_length(bytes, 96));
    ASSERT_TRUE(write_bytes(path, bytes));
    LibRaw_DVK probe;
    ASSERT_EQ(probe.open_file(path.c_str()), LIBRAW_SUCCESS);
    ASSERT_EQ(probe.imgdata.sizes.raw_height, 96);
    expect_same_unpack(path, 4, "short");
}

TEST(UnpackOnThreads, BeforeOpenIsRefusedAsLibRaw) {
    LibRaw_DVK ours, theirs;
    EXPECT_EQ(ours.unpack_on_threads(), theirs.unpack());
}

}  // namespace
}  // namespace dvk::test
