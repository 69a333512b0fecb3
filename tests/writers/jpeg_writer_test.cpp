#include <gtest/gtest.h>

#include <csetjmp>
#include <cstring>
#include <jpeglib.h>

#include "pipeline/writers/jpeg_writer.h"
#include "tests/support/test_paths.h"
#include "writer_test_support.h"

namespace dvk {
namespace {

struct JpegInfo {
    bool ok = false;
    unsigned width = 0, height = 0;
    int components = 0;
    int density_unit = 0, xdensity = 0, ydensity = 0;
    int luma_q0 = 0;
    std::vector<unsigned char> icc;
    std::vector<unsigned char> app1;
    std::vector<unsigned char> pixels;
};

JpegInfo read_jpeg(const std::string& path) {
    JpegInfo info;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return info;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xffff);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xffff);
    jpeg_read_header(&cinfo, TRUE);
    info.width = cinfo.image_width;
    info.height = cinfo.image_height;
    info.components = cinfo.num_components;
    info.density_unit = cinfo.density_unit;
    info.xdensity = cinfo.X_density;
    info.ydensity = cinfo.Y_density;
    if (cinfo.quant_tbl_ptrs[0]) info.luma_q0 = cinfo.quant_tbl_ptrs[0]->quantval[0];
    JOCTET* icc = nullptr;
    unsigned icc_len = 0;
    if (jpeg_read_icc_profile(&cinfo, &icc, &icc_len)) {
        info.icc.assign(icc, icc + icc_len);
        free(icc);
    }
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1) info.app1.assign(m->data, m->data + m->data_length);
    jpeg_start_decompress(&cinfo);
    info.pixels.resize(static_cast<std::size_t>(info.width) * info.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = info.pixels.data() + cinfo.output_scanline * info.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    info.ok = true;
    return info;
}

int write_file(test::WriterRecord& rec, const std::string& path, std::vector<float>& img, unsigned w, unsigned h,
               int raw, int quality) {
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    int r = write_jpeg(&rec.d, f, img.data(), w, h, raw, quality, 300.0f, 150.0f);
    std::fclose(f);
    return r;
}

std::vector<float> flat(unsigned w, unsigned h, float r, float g, float b) {
    std::vector<float> v(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < v.size(); i += 3) {
        v[i] = r;
        v[i + 1] = g;
        v[i + 2] = b;
    }
    return v;
}

TEST(JpegWriter, SizeDensityProfileAndDate) {
    test::TempDir dir;
    test::WriterRecord rec(1700000000);
    auto img = flat(40, 24, 0.25f, 0.5f, 0.75f);
    std::string path = (dir / "a.jpeg").string();
    ASSERT_EQ(write_file(rec, path, img, 40, 24, 0, 85), 0);
    JpegInfo j = read_jpeg(path);
    ASSERT_TRUE(j.ok);
    EXPECT_EQ(j.width, 40u);
    EXPECT_EQ(j.height, 24u);
    EXPECT_EQ(j.components, 3);
    EXPECT_EQ(j.density_unit, 1);
    EXPECT_EQ(j.xdensity, 300);
    EXPECT_EQ(j.ydensity, 150);
    // libjpeg's quality scaling: 85 -> 30 %, (16 x 30 + 50) / 100 = 5.
    EXPECT_EQ(j.luma_q0, 5);
    ASSERT_EQ(j.icc.size(), rec.output_icc.size());
    EXPECT_EQ(0, std::memcmp(j.icc.data(), rec.output_icc.data(), j.icc.size()));
    EXPECT_TRUE(test::lcms_opens(j.icc.data(), j.icc.size()));
    // A flat colour decodes close to its 8-bit values 64, 128, 191.
    EXPECT_NEAR(j.pixels[0], 64, 2);
    EXPECT_NEAR(j.pixels[1], 128, 2);
    EXPECT_NEAR(j.pixels[2], 191, 2);
    EXPECT_EQ(test::exiftool_tag(path, "DateTimeOriginal"), "2023:11:14 22:13:20");
    EXPECT_EQ(test::exiftool_tag(path, "XResolution"), "300");
}

TEST(JpegWriter, QualitiesFollowTheLibjpegScale) {
    test::TempDir dir;
    test::WriterRecord rec(0);
    const int qualities[] = {70, 95, 100};
    const int expected_q0[] = {10, 2, 1};
    for (int i = 0; i < 3; ++i) {
        auto img = flat(16, 16, 0.5f, 0.5f, 0.5f);
        std::string name = "q";
        name += std::to_string(qualities[i]);
        name += ".jpeg";
        std::string path = (dir / name).string();
        ASSERT_EQ(write_file(rec, path, img, 16, 16, 0, qualities[i]), 0);
        EXPECT_EQ(read_jpeg(path).luma_q0, expected_q0[i]) << qualities[i];
    }
}

TEST(JpegWriter, NoTimestampNoExifAndRawHasNoProfile) {
    test::TempDir dir;
    test::WriterRecord rec(0);
    auto img = flat(8, 8, 0.1f, 0.2f, 0.3f);
    std::string path = (dir / "r.jpeg").string();
    ASSERT_EQ(write_file(rec, path, img, 8, 8, 1, 95), 0);
    JpegInfo j = read_jpeg(path);
    EXPECT_TRUE(j.app1.empty());
    EXPECT_TRUE(j.icc.empty());
    EXPECT_EQ(test::exiftool_tag(path, "DateTimeOriginal"), "");
}

TEST(JpegWriter, LinearProfileAtGammaOne) {
    test::TempDir dir;
    test::WriterRecord rec(0);
    rec.d.output_gamma = 1.0;
    auto img = flat(8, 8, 0.1f, 0.2f, 0.3f);
    std::string path = (dir / "l.jpeg").string();
    ASSERT_EQ(write_file(rec, path, img, 8, 8, 0, 95), 0);
    JpegInfo j = read_jpeg(path);
    ASSERT_EQ(j.icc.size(), rec.linear_icc.size());
    EXPECT_EQ(0, std::memcmp(j.icc.data(), rec.linear_icc.data(), j.icc.size()));
}

TEST(JpegWriter, FullDiskIsAFailure) {
    test::WriterRecord rec(0);
    FILE* f = std::fopen("/dev/full", "wb");
    ASSERT_NE(f, nullptr);
    auto img = flat(64, 64, 0.3f, 0.6f, 0.9f);
    int r = write_jpeg(&rec.d, f, img.data(), 64, 64, 0, 95, 72, 72);
    std::fclose(f);
    EXPECT_EQ(r, 1);
}

TEST(JpegWriter, ExifSegmentLayout) {
    auto seg = make_exif_datetime_segment(1700000000);
    ASSERT_EQ(seg.size(), 70u);
    EXPECT_EQ(0, std::memcmp(seg.data(), "Exif\0\0II*\0", 10));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(seg.data()) + 50), "2023:11:14 22:13:20");
}

}  // namespace
}  // namespace dvk
