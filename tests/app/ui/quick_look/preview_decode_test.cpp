#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <lcms2.h>
#include <tiffio.h>

#include "app/preview/preview_image.h"
#include "app/ui/windows/preview_loader.h"
#include "app/ui/windows/quick_look_dialog.h"
#include "core/dvklib.h"
#include "pipeline/writers/jpeg_writer.h"
#include "pipeline/writers/tiff_writers.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

// Fontconfig keeps a small cache of its own for the whole process, which the
// leak checker of the sanitizer build would otherwise report once text is laid out.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace dvk {
namespace {

namespace fs = std::filesystem;

// One application for the whole run, left to the end of the process (Qt's
// own statics are gone by the time a static one would be destroyed).
QApplication& app() {
    static int argc = 1;
    static char name[] = "test_quick_look";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

std::vector<char> profileBytes(cmsHPROFILE p) {
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    std::vector<char> bytes(n);
    cmsSaveProfileToMem(p, bytes.data(), &n);
    cmsCloseProfile(p);
    return bytes;
}

// sRGB, and sRGB with a linear tone curve.
std::vector<char> srgbBytes() { return profileBytes(cmsCreate_sRGBProfile()); }
std::vector<char> linearSrgbBytes() {
    cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* g = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {g, g, g};
    cmsHPROFILE p = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsFreeToneCurve(g);
    return profileBytes(p);
}

double toLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

// Writes DVK's output kinds through the program's own writers.
struct Writer {
    DVKLib d;
    std::vector<char> srgb = srgbBytes(), linear = linearSrgbBytes();
    Writer() {
        dvklib_new(&d);
        d.output_profile_data = srgb.data();
        d.output_profile_size = std::uint32_t(srgb.size() + 1);
        d.linear_profile_data = linear.data();
        d.linear_profile_size = std::uint32_t(linear.size() + 1);
    }
    ~Writer() { dvklib_delete(&d); }
    std::string write(SaveWriter writer, std::vector<float> image, unsigned w, unsigned h, const fs::path& path,
                      char variant, double gamma) {
        d.writer_variant = variant;
        d.output_gamma = gamma;
        const std::string p = path.string();
        d.dest_file = p.c_str();
        FILE* f = std::fopen(p.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        EXPECT_EQ(writer(&d, f, image.data(), w, h, 0, 95, 300, 300), 0) << p;
        std::fclose(f);
        return p;
    }
};

std::vector<float> flat(unsigned w, unsigned h, float a, float b, float c) {
    std::vector<float> v(std::size_t(w) * h * 3);
    for (std::size_t i = 0; i < v.size(); i += 3) v[i] = a, v[i + 1] = b, v[i + 2] = c;
    return v;
}

void expectColour(const QImage& image, int r, int g, int b, int tolerance) {
    ASSERT_FALSE(image.isNull());
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    EXPECT_NEAR(c.red(), r, tolerance);
    EXPECT_NEAR(c.green(), g, tolerance);
    EXPECT_NEAR(c.blue(), b, tolerance);
}

// A DNG of the fixture writer with an 8-bit RGB thumbnail directory appended.
fs::path dngWithThumbnail(const fs::path& dir) {
    const fs::path path = dir / "thumb.dng";
    test::DngSpec spec = test::gradient_dng(test::DngLayout::Bayer, 64, 48);
    EXPECT_TRUE(test::write_dng(path, spec));
    TIFF* t = TIFFOpen(path.c_str(), "a");
    EXPECT_NE(t, nullptr);
    const unsigned w = 40, h = 30;
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, h);
    std::vector<std::uint8_t> rgb(w * h * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 30, rgb[i + 1] = 160, rgb[i + 2] = 220;
    EXPECT_GE(TIFFWriteEncodedStrip(t, 0, rgb.data(), tmsize_t(rgb.size())), 0);
    TIFFClose(t);
    return path;
}

TEST(PreviewDecode, EveryOutputKindOfTheWriters) {
    app();
    test::TempDir dir;
    Writer writer;
    const unsigned w = 12, h = 8;
    // (204, 102, 51) in sRGB.
    const float r = 0.8f, g = 0.4f, b = 0.2f;
    const std::string tiff8 = writer.write(write_tiff_rgb, flat(w, h, r, g, b), w, h, dir / "a8.tif", 'n', 2.2);
    const std::string tiff16 = writer.write(write_tiff_rgb, flat(w, h, r, g, b), w, h, dir / "a16.tiff", 'N', 2.2);
    const std::string jpeg = writer.write(write_jpeg, flat(w, h, r, g, b), w, h, dir / "a.jpg", 'n', 2.2);
    const std::string floats = writer.write(write_tiff_float_rgb,
                                            flat(w, h, float(toLinear(r)), float(toLinear(g)), float(toLinear(b))), w,
                                            h, dir / "af.tif", 'n', 1.0);
    // L* 50 grey is sRGB 119; a red-magenta of L* 60.
    const std::string lab = writer.write(write_tiff_cielab, flat(w, h, 50, 0, 0), w, h, dir / "lab.tif", 'N', 2.2);
    const std::string labRed = writer.write(write_tiff_cielab, flat(w, h, 60, 50, 0), w, h, dir / "lr.tif", 'N', 2.2);

    EXPECT_FALSE(isColourTiff(tiff8));
    EXPECT_FALSE(isColourTiff(tiff16));
    EXPECT_TRUE(isColourTiff(floats));
    EXPECT_TRUE(isColourTiff(lab));
    for (const std::string& f : {tiff8, tiff16, jpeg, floats}) {
        SCOPED_TRACE(f);
        QString error;
        const QImage image = loadPreviewImage(QString::fromStdString(f), 64, &error);
        EXPECT_EQ(image.size(), QSize(int(w), int(h))) << error.toStdString();
        expectColour(image, 204, 102, 51, f == jpeg ? 4 : 1);
    }
    QString error;
    expectColour(loadPreviewImage(QString::fromStdString(lab), 64, &error), 119, 119, 119, 1);
    const QColor red = loadPreviewImage(QString::fromStdString(labRed), 64, &error).pixelColor(3, 3);
    EXPECT_GT(red.red(), red.blue());
    EXPECT_GT(red.blue(), red.green());
}

TEST(PreviewDecode, ColourTiffsAreBoxAveragedToTheirLimit) {
    test::TempDir dir;
    Writer writer;
    // Columns alternately 0 and 1 in linear light: pairs average to 0.5, sRGB 188.
    const unsigned w = 300, h = 200;
    std::vector<float> stripes(std::size_t(w) * h * 3);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) stripes[(std::size_t(y) * w + x) * 3 + c] = float(x % 2);
    const std::string path = writer.write(write_tiff_float_rgb, stripes, w, h, dir / "s.tif", 'n', 1.0);
    std::string error;
    auto bitmap = decodeColourTiff(path, 150, &error);
    ASSERT_TRUE(bitmap) << error;
    EXPECT_EQ(bitmap->width, 150u);
    EXPECT_EQ(bitmap->height, 100u);
    EXPECT_NEAR(bitmap->rgb[(50 * 150 + 70) * 3], 188, 1);
    // Three columns a block: 3 x 2 blocks of 0, 1, 0 or 1, 0, 1.
    bitmap = decodeColourTiff(path, 100, &error);
    ASSERT_TRUE(bitmap) << error;
    EXPECT_EQ(bitmap->width, 100u);
    EXPECT_EQ(bitmap->height, 67u);

    // Plain RGB is not this reader's.
    const std::string plain = writer.write(write_tiff_rgb, flat(4, 4, 0.5f, 0.5f, 0.5f), 4, 4, dir / "p.tif", 'n', 2.2);
    EXPECT_FALSE(decodeColourTiff(plain, 100, &error));
    EXPECT_EQ(error, "not a CIELab or float RGB TIFF");
    EXPECT_FALSE(decodeColourTiff((dir / "missing.tif").string(), 100, &error));
}

TEST(PreviewDecode, RawFilesShowTheirEmbeddedThumbnail) {
    app();
    test::TempDir dir;
    const fs::path dng = dngWithThumbnail(dir.path());
    std::string error;
    auto thumb = rawThumbnail(dng.string(), &error);
    ASSERT_TRUE(thumb) << error;
    EXPECT_FALSE(thumb->isJpeg);
    EXPECT_EQ(thumb->bitmap.width, 40u);
    EXPECT_EQ(thumb->bitmap.height, 30u);
    EXPECT_EQ(thumb->quarterTurns, 0);
    QString qerror;
    expectColour(loadPreviewImage(QString::fromStdString(dng.string()), 64, &qerror), 30, 160, 220, 0);

    // A raw file without a thumbnail, and a file that is no raw file at all.
    const fs::path bare = dir / "bare.dng";
    ASSERT_TRUE(test::write_dng(bare, test::gradient_dng(test::DngLayout::Bayer, 32, 32)));
    EXPECT_FALSE(rawThumbnail(bare.string(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(loadPreviewImage(QString::fromStdString(bare.string()), 64, &qerror).isNull());
    EXPECT_FALSE(qerror.isEmpty());
    std::ofstream(dir / "notes.NEF") << "not a raw file";
    EXPECT_FALSE(rawThumbnail((dir / "notes.NEF").string(), &error));
}

TEST(QuickLookDialog, StepsThroughItemsDecodedOffTheWindowThread) {
    app();
    test::TempDir dir;
    Writer writer;
    const std::string lab = writer.write(write_tiff_cielab, flat(8, 8, 50, 0, 0), 8, 8, dir / "lab.tif", 'N', 2.2);
    const std::string dng = dngWithThumbnail(dir.path()).string();
    const std::string missing = (dir / "gone.jpg").string();

    QuickLookDialog dialog;
    QSignalSpy loaded(&dialog, &QuickLookDialog::itemLoaded);
    dialog.show();
    dialog.setItems({lab, dng, missing});
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(loaded.takeFirst(), (QList<QVariant>{0, true}));
    expectColour(dialog.currentImage(), 119, 119, 119, 1);
    EXPECT_EQ(dialog.windowTitle(), "lab.tif");
    EXPECT_TRUE(dialog.statusText().startsWith("1 of 3: "));

    QTest::keyClick(&dialog, Qt::Key_Right);
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(loaded.takeFirst(), (QList<QVariant>{1, true}));
    expectColour(dialog.currentImage(), 30, 160, 220, 0);

    QTest::keyClick(&dialog, Qt::Key_Right);
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(loaded.takeFirst(), (QList<QVariant>{2, false}));
    EXPECT_TRUE(dialog.currentImage().isNull());
    QTest::keyClick(&dialog, Qt::Key_Right);  // past the last: stays
    EXPECT_EQ(dialog.currentIndex(), 2);

    // Quick steps: only the last request is shown.
    QTest::keyClick(&dialog, Qt::Key_Left);
    QTest::keyClick(&dialog, Qt::Key_Left);
    ASSERT_TRUE(loaded.wait(5000));
    QTest::qWait(50);
    EXPECT_EQ(loaded.last(), (QList<QVariant>{0, true}));
    EXPECT_EQ(dialog.currentIndex(), 0);

    dialog.setItems({});
    EXPECT_EQ(dialog.currentIndex(), -1);
    EXPECT_TRUE(dialog.currentImage().isNull());
    QTest::keyClick(&dialog, Qt::Key_Space);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace dvk
