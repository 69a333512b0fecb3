// The declared-size rules with their values written out: what a file of a
// given size may make a load take, what a load of a known file takes at
// full and half size, and how much data a declared image needs against what
// its file holds.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/libraw_dvk.h"
#include "pipeline/load/declared_size.h"
#include "pipeline/load/load_errors.h"
#include "tests/support/dng_writer.h"
#include "tests/support/engine_state.h"
#include "tests/support/hostile_raw_files.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

TEST(DeclaredSize, RulesWithTheirValuesWrittenOut) {
    // 32 MiB, then 256 bytes for each of the first MiB and 4096 beyond.
    const struct {
        std::uint64_t file, allowed;
    } allowances[] = {
        {0, 33554432},
        {1000, 33810432},
        {1048575, 301989632},
        {1048576, 301989888},  // 288 MiB: the most for a file under 1 MiB
        {1048577, 301993984},
        {10485760, 38956695552},
    };
    for (const auto& a : allowances) EXPECT_EQ(load_bytes_allowed(a.file), a.allowed) << a.file;
    EXPECT_GE(load_bytes_allowed(UINT64_MAX), load_bytes_allowed(10485760));  // no wrap-around

    TempDir dir;
    write_dng(dir / "bayer.dng", gradient_dng(DngLayout::Bayer, 64, 48));
    write_dng(dir / "linear.dng", gradient_dng(DngLayout::LinearRaw, 64, 48));
    write_header_larger_than_data(dir / "strip.dng", 24000, 16000, 900000);
    write_shared_tile_dng(dir / "tiles.dng", 4096, 4096, 256, true, 900000);
    write_lossless_dng(dir / "lossless.dng", 256, 192, 2);
    const fs::path lossless_cut = dir / "lossless_cut.dng";
    fs::copy_file(dir / "lossless.dng", lossless_cut);
    fs::resize_file(lossless_cut, 4096 + 6143);  // one byte short of a bit a sample
    const struct {
        const char* file;
        std::uint64_t full, half;       // declared_load_bytes with one band thread
        std::uint64_t needed, held;     // declared_data
        int code;                       // check_declared_size at half size
    } files[] = {
        // Raw buffer 64 x (48 + 8) x 2; LibRaw's image 8 bytes a pixel; the
        // working image 16 bytes a pixel in rows and columns rounded to 16:
        // 7168 + 24576 + 48 x 64 x 16, and at half size (32 x 24 pixels)
        // 7168 + 6144 + 32 x 32 x 16. Uncompressed: 64 x 48 x 2 bytes of data.
        {"bayer.dng", 80896, 29696, 6144, 0, 0},
        // Three colours: a raw buffer of 8 bytes a site, no half-size decode.
        {"linear.dng", 28672 + 24576 + 49152, 28672 + 24576 + 49152, 64 * 48 * 3 * 2, 0, 0},
        // 24000 x 16000 x 2 bytes declared from offset 1400 of 900000.
        {"strip.dng", 0, 0, 768000000, 898600, kLoadDataPastEnd},
        // 256 tiles of 256 x 256, a bit a sample each, all at offset 4096:
        // held once, from there to the end.
        {"tiles.dng", 0, 0, 2097152, 895904, kLoadDataPastEnd},
        // A strip of 256 x 192 two-bit codes from offset 4096: 12337 bytes of
        // lossless JPEG, at least a bit a sample (6144 bytes).
        {"lossless.dng", 0, 0, 6144, 12337, 0},
        {"lossless_cut.dng", 0, 0, 6144, 6143, kLoadDataPastEnd},
    };
    BandThreadCount threads(1);
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        LibRaw_DVK raw;
        const fs::path path = dir / f.file;
        ASSERT_EQ(raw.open_file(path.c_str()), LIBRAW_SUCCESS);
        const std::uint64_t bytes = fs::file_size(path);
        if (f.full) {
            EXPECT_EQ(declared_load_bytes(raw, false), f.full);
            EXPECT_EQ(declared_load_bytes(raw, true), f.half);
        }
        const DeclaredData data = declared_data(raw, bytes);
        EXPECT_EQ(data.needed, f.needed);
        if (f.held) EXPECT_EQ(data.held, f.held);
        else EXPECT_GE(data.held, f.needed);
        EXPECT_EQ(check_declared_size(raw, bytes, true), f.code);
    }
}

}  // namespace
}  // namespace dvk::test
