#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tiffio.h>

#include "pipeline/writers/tiff_writers.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/test_paths.h"
#include "writer_test_support.h"

namespace dvk {
namespace {

constexpr long long kStamp = 1700000000;  // 2023-11-14 22:13:20 UTC

struct Written {
    int result = -1;
    std::string path;
};

Written write_with(SaveWriter writer, test::WriterRecord& rec, std::vector<float>& image, unsigned w, unsigned h,
                   int raw, const test::TempDir& dir, const char* name = "out.tiff") {
    Written out;
    out.path = (dir / name).string();
    rec.d.dest_file = out.path.c_str();
    FILE* f = std::fopen(out.path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    out.result = writer(&rec.d, f, image.data(), w, h, raw, 85, 300.0f, 240.0f);
    std::fclose(f);
    return out;
}

struct TiffInfo {
    uint32_t width = 0, height = 0;
    uint16_t bps = 0, spp = 0, photometric = 0, planar = 0, compression = 0, sample_format = 1;
    float xres = 0, yres = 0;
    uint32_t strips = 0;
    std::string datetime;
    std::vector<char> icc;
    std::vector<unsigned char> strip;
};

TiffInfo read_tiff(const std::string& path) {
    TiffInfo t;
    TIFF* tif = TIFFOpen(path.c_str(), "rc");
    EXPECT_NE(tif, nullptr);
    if (!tif) return t;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &t.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &t.height);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bps);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.spp);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &t.photometric);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &t.planar);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &t.compression);
    TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &t.sample_format);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &t.xres);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &t.yres);
    t.strips = TIFFNumberOfStrips(tif);
    char* dt = nullptr;
    if (TIFFGetField(tif, TIFFTAG_DATETIME, &dt) && dt) t.datetime = dt;
    uint32_t icc_len = 0;
    void* icc = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &icc_len, &icc) && icc)
        t.icc.assign(static_cast<char*>(icc), static_cast<char*>(icc) + icc_len);
    tmsize_t n = TIFFRawStripSize(tif, 0);
    if (n > 0) {
        t.strip.resize(static_cast<std::size_t>(n));
        TIFFReadRawStrip(tif, 0, t.strip.data(), n);
    }
    TIFFClose(tif);
    return t;
}

std::vector<float> ramp_image(unsigned w, unsigned h) {
    std::vector<float> img(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < img.size(); ++i) img[i] = static_cast<float>(i % 11) / 10.0f;
    return img;
}

TEST(TiffWriters, Rgb16HasTagsProfileDateAndExactSamples) {
    test::TempDir dir;
    test::WriterRecord rec(kStamp);
    rec.d.writer_variant = 'N';
    auto img = ramp_image(7, 5);
    auto src = img;
    Written w = write_with(write_tiff_rgb, rec, img, 7, 5, 0, dir);
    ASSERT_EQ(w.result, 0);
    TiffInfo t = read_tiff(w.path);
    EXPECT_EQ(t.width, 7u);
    EXPECT_EQ(t.height, 5u);
    EXPECT_EQ(t.bps, 16);
    EXPECT_EQ(t.spp, 3);
    EXPECT_EQ(t.photometric, PHOTOMETRIC_RGB);
    EXPECT_EQ(t.planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(t.compression, COMPRESSION_NONE);
    EXPECT_EQ(t.strips, 1u);
    EXPECT_FLOAT_EQ(t.xres, 300.0f);
    EXPECT_FLOAT_EQ(t.yres, 240.0f);
    EXPECT_EQ(t.datetime, "2023:11:14 22:13:20");
    ASSERT_EQ(t.icc.size(), rec.output_icc.size());
    EXPECT_EQ(0, std::memcmp(t.icc.data(), rec.output_icc.data(), t.icc.size()));
    EXPECT_TRUE(test::lcms_opens(t.icc.data(), t.icc.size()));
    ASSERT_EQ(t.strip.size(), src.size() * 2);
    const uint16_t* s = reinterpret_cast<const uint16_t*>(t.strip.data());
    for (std::size_t i = 0; i < src.size(); ++i)
        ASSERT_EQ(s[i], static_cast<uint16_t>(static_cast<int>(src[i] * 65535.0 + 0.5))) << i;
    EXPECT_EQ(test::exiftool_tag(w.path, "ModifyDate"), "2023:11:14 22:13:20");
    EXPECT_EQ(test::exiftool_tag(w.path, "BitsPerSample"), "16 16 16");
}

TEST(TiffWriters, Rgb8AndStudioRanges) {
    test::TempDir dir;
    test::WriterRecord rec(0);
    std::vector<float> img = {0.0f, 0.5f, 1.0f};
    rec.d.writer_variant = 'n';
    auto a = img;
    Written w8 = write_with(write_tiff_rgb, rec, a, 1, 1, 0, dir, "a.tiff");
    ASSERT_EQ(w8.result, 0);
    TiffInfo t8 = read_tiff(w8.path);
    EXPECT_EQ(t8.bps, 8);
    ASSERT_EQ(t8.strip.size(), 3u);
    EXPECT_EQ(t8.strip[0], 0);
    EXPECT_EQ(t8.strip[1], 128);
    EXPECT_EQ(t8.strip[2], 255);

    rec.d.writer_variant = 's';
    auto b = img;
    TiffInfo ts = read_tiff(write_with(write_tiff_rgb, rec, b, 1, 1, 0, dir, "b.tiff").path);
    ASSERT_EQ(ts.strip.size(), 3u);
    EXPECT_EQ(ts.strip[0], 16);
    EXPECT_EQ(ts.strip[2], 240);

    rec.d.writer_variant = 'S';
    auto c = img;
    TiffInfo tS = read_tiff(write_with(write_tiff_rgb, rec, c, 1, 1, 0, dir, "c.tiff").path);
    ASSERT_EQ(tS.strip.size(), 6u);
    const uint16_t* s = reinterpret_cast<const uint16_t*>(tS.strip.data());
    EXPECT_EQ(s[0], 4112);
    EXPECT_EQ(s[2], 61680);
    // No timestamp: no DateTime tag.
    EXPECT_TRUE(tS.datetime.empty());
    EXPECT_EQ(test::exiftool_tag(write_with(write_tiff_rgb, rec, c, 1, 1, 0, dir, "d.tiff").path, "ModifyDate"), "");
}

TEST(TiffWriters, OutOfRangeSamplesSaturate) {
    test::TempDir dir;
    test::WriterRecord rec(0);
    rec.d.writer_variant = 'N';
    std::vector<float> img = {1.5f, -0.25f, 0.25f};
    TiffInfo t = read_tiff(write_with(write_tiff_rgb, rec, img, 1, 1, 0, dir).path);
    ASSERT_EQ(t.strip.size(), 6u);
    const uint16_t* s = reinterpret_cast<const uint16_t*>(t.strip.data());
    EXPECT_EQ(s[0], 65535);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[2], 16384);  // 0.25 x 65535 + 0.5 = 16384.25
}

TEST(TiffWriters, RawOutputHasNoProfile) {
    test::TempDir dir;
    test::WriterRecord rec(kStamp);
    rec.d.writer_variant = 'N';
    auto img = ramp_image(4, 4);
    TiffInfo t = read_tiff(write_with(write_tiff_rgb, rec, img, 4, 4, 1, dir).path);
    EXPECT_TRUE(t.icc.empty());
    auto f = ramp_image(4, 4);
    TiffInfo tf = read_tiff(write_with(write_tiff_float_rgb, rec, f, 4, 4, 1, dir, "f.tiff").path);
    EXPECT_TRUE(tf.icc.empty());
}

TEST(TiffWriters, FloatEmbedsLinearProfileAtGammaOne) {
    test::TempDir dir;
    test::WriterRecord rec(kStamp);
    rec.d.writer_variant = 0;
    rec.d.output_gamma = 1.0;
    auto img = ramp_image(6, 3);
    auto src = img;
    Written w = write_with(write_tiff_float_rgb, rec, img, 6, 3, 0, dir);
    ASSERT_EQ(w.result, 0);
    TiffInfo t = read_tiff(w.path);
    EXPECT_EQ(t.bps, 32);
    EXPECT_EQ(t.sample_format, SAMPLEFORMAT_IEEEFP);
    EXPECT_EQ(t.photometric, PHOTOMETRIC_RGB);
    ASSERT_EQ(t.icc.size(), rec.linear_icc.size());
    EXPECT_EQ(0, std::memcmp(t.icc.data(), rec.linear_icc.data(), t.icc.size()));
    ASSERT_EQ(t.strip.size(), src.size() * 4);
    EXPECT_EQ(0, std::memcmp(t.strip.data(), src.data(), t.strip.size()));
    EXPECT_EQ(test::exiftool_tag(w.path, "SampleFormat"), "Float; Float; Float");

    // With output gamma 2.2 the same writer embeds the output profile.
    rec.d.output_gamma = 2.2;
    auto img2 = ramp_image(6, 3);
    TiffInfo t2 = read_tiff(write_with(write_tiff_float_rgb, rec, img2, 6, 3, 0, dir, "g.tiff").path);
    EXPECT_EQ(t2.icc.size(), rec.output_icc.size());
}

TEST(TiffWriters, CielabEncodingEdges) {
    test::TempDir dir;
    test::WriterRecord rec(kStamp);
    rec.d.writer_variant = 'N';
    std::vector<float> img = {100.0f,   -128.0f, 127.0f,   // L exactly 100, a at the floor
                              100.001f, 127.5f,  -128.5f,  // clamps
                              50.0f,    0.5f,    -0.5f,    // rounding halves away from zero
                              -1.0f,    12.25f,  -3.75f};
    Written w = write_with(write_tiff_cielab, rec, img, 2, 2, 0, dir);
    ASSERT_EQ(w.result, 0);
    TiffInfo t = read_tiff(w.path);
    EXPECT_EQ(t.photometric, PHOTOMETRIC_CIELAB);
    EXPECT_EQ(t.bps, 16);
    EXPECT_TRUE(t.icc.empty());
    ASSERT_EQ(t.strip.size(), 24u);
    const uint16_t* u = reinterpret_cast<const uint16_t*>(t.strip.data());
    const int16_t* s = reinterpret_cast<const int16_t*>(t.strip.data());
    EXPECT_EQ(u[0], 65535);
    EXPECT_EQ(s[1], -32768);
    EXPECT_EQ(s[2], 32512);
    EXPECT_EQ(u[3], 65535);
    EXPECT_EQ(s[4], 32767);
    EXPECT_EQ(s[5], -32768);
    // 50 x 655.35 in single precision is 32767.498..., which rounds down.
    EXPECT_EQ(u[6], 32767);
    EXPECT_EQ(s[7], 128);
    EXPECT_EQ(s[8], -128);
    EXPECT_EQ(u[9], 0);
    EXPECT_EQ(s[10], 3136);
    EXPECT_EQ(s[11], -960);
    EXPECT_EQ(test::exiftool_tag(w.path, "PhotometricInterpretation"), "CIELab");
}

TEST(TiffWriters, UnopenableStreamGivesTwo) {
    test::WriterRecord rec(0);
    rec.d.dest_file = "/nonexistent/x.tiff";
    // A stream opened for reading only: libtiff cannot write a header.
    FILE* f = std::fopen("/dev/null", "rb");
    ASSERT_NE(f, nullptr);
    std::vector<float> img(3, 0.5f);
    int r = write_tiff_rgb(&rec.d, f, img.data(), 1, 1, 0, 0, 72, 72);
    std::fclose(f);
    EXPECT_NE(r, 0);
}

TEST(TiffWriters, FullDiskGivesThree) {
    test::TempDir dir;
    test::WriterRecord rec(0);
    std::string path = (dir / "big.tiff").string();
    rec.d.dest_file = path.c_str();
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::vector<float> img(64 * 64 * 3, 0.5f);
    rec.d.writer_variant = 'N';
    // The header fits, the strip does not: a file size limit stands in for a
    // full disk.
    int r;
    {
        test::FileSizeLimit full_disk(4096);
        r = write_tiff_rgb(&rec.d, f, img.data(), 64, 64, 0, 0, 72, 72);
    }
    std::fclose(f);
    EXPECT_EQ(r, 3);
}

TEST(TiffWriters, ExifTimeFormatIsUtc) {
    char text[20];
    format_exif_time(0 + 86400 * 366 + 3600 * 5 + 61, text);
    EXPECT_STREQ(text, "1971:01:02 05:01:01");
}

}  // namespace
}  // namespace dvk
