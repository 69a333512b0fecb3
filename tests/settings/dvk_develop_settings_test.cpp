// dvk-develop's settings options: --set for every key, --settings FILE and
// --print-settings FILE.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <string>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/settings/settings_text.h"
#include "tests/support/dng_writer.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using test::CommandRun;
using test::run_dvk_develop;
using test::shell_quoted;

// Mean sample of an 8-bit RGB TIFF; -1 when it cannot be read.
double tiff_mean(const std::string& path) {
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) return -1;
    uint32_t w = 0, h = 0;
    uint16_t spp = 0, bps = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bps);
    double sum = 0;
    std::vector<uint8_t> row(TIFFScanlineSize(t));
    for (uint32_t y = 0; y < h && bps == 8; ++y) {
        if (TIFFReadScanline(t, row.data(), y) < 0) break;
        for (uint32_t i = 0; i < w * spp; ++i) sum += row[i];
    }
    TIFFClose(t);
    return bps == 8 && w && h ? sum / (double(w) * h * spp) : -1;
}

TEST(DevelopToolSettings, PrintSettingsOfATextFile) {
    test::TempDir dir;
    const std::string file = (dir / "look.dvks").string();
    ASSERT_TRUE(write_file_atomically(file, "contrast 4\nexposure 1.5\nfilterName Lightness (Lab)\nuseCameraWB 0\n"));
    CommandRun r = run_dvk_develop("--print-settings " + shell_quoted(file));
    ASSERT_EQ(r.status, 0) << r.err;
    SettingsDictionary d = getDictionarySettingsFromString(r.out);
    EXPECT_EQ(d.size(), 31u);
    EXPECT_EQ(d.get("exposure").description(), "1.5");
    EXPECT_EQ(d.get("contrast").description(), "4");
    EXPECT_EQ(d.get("filterName").description(), "Lightness (Lab)");
    EXPECT_EQ(d.get("customRawProfile").description(), "Default");
    EXPECT_NE(r.out.find("destinationFile \n"), std::string::npos);
    // The output is the export text of a processor with those settings.
    RawProcessor p;
    ASSERT_TRUE(p.importSettingsFromFile(file));
    EXPECT_EQ(r.out, p.getExportSettingsAsText());

    // --set wins over the file; the bare name finds look.dvks.
    r = run_dvk_develop("--print-settings " + shell_quoted((dir / "look").string()) + " --set exposure=-0.25");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("exposure -0.25\n"), std::string::npos);
}

TEST(DevelopToolSettings, PrintSettingsOfAPropertyList) {
    test::TempDir dir;
    SettingsDictionary d;
    d.set("brightness", 61.5);
    d.set("useCameraWB", 3);
    const std::string file = (dir / "p.plist").string();
    ASSERT_TRUE(write_file_atomically(file, settings_plist_binary(d)));
    CommandRun r = run_dvk_develop("--print-settings " + shell_quoted(file));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("brightness 61.5\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("useCameraWB 3\n"), std::string::npos);
}

TEST(DevelopToolSettings, BadFilesAndKeysFail) {
    test::TempDir dir;
    const std::string bad = (dir / "bad.dvks").string();
    ASSERT_TRUE(write_file_atomically(bad, "exposure 1\nnoSuchSetting 2\n"));
    CommandRun r = run_dvk_develop("--print-settings " + shell_quoted(bad));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Looks like garbage"), std::string::npos) << r.err;
    r = run_dvk_develop("--print-settings " + shell_quoted((dir / "missing").string()));
    EXPECT_EQ(r.status, 1);
    ASSERT_TRUE(write_file_atomically((dir / "nan.dvks").string(), "gamma nan\n"));
    r = run_dvk_develop("--print-settings " + shell_quoted((dir / "nan.dvks").string()));
    EXPECT_EQ(r.status, 1);
    r = run_dvk_develop("--print-settings " + shell_quoted(bad) + " extra.dng");
    EXPECT_EQ(r.status, 2);
    ASSERT_TRUE(write_file_atomically((dir / "ok.dvks").string(), "exposure 1\n"));
    r = run_dvk_develop("--print-settings " + shell_quoted((dir / "ok.dvks").string()) + " --set exposur=1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("exposur"), std::string::npos);
}

TEST(DevelopToolSettings, SetTakesEveryKeyOfTheTable) {
    test::TempDir dir;
    const std::string file = (dir / "empty.dvks").string();
    ASSERT_TRUE(write_file_atomically(file, "exposure 0\n"));
    RawProcessor probe;
    std::string args;
    int count = 0;
    for (const auto& key : RawProcessor::settingKeys()) {
        SettingsValue v = probe.valueForKey(key);
        if (key == "greenDelta" || key == "cameraInfo") continue;  // read-only
        if (key == "useCameraWB") continue;                        // kept manual below
        if (key == "customRawProfile") continue;                   // a profile name below
        const std::string value = v.is_number() ? (key == "exposure" ? "0.75" : "1") : "Text value";
        args += " --set " + shell_quoted(key + "=" + value);
        ++count;
    }
    EXPECT_GE(count, 45);
    CommandRun r = run_dvk_develop("--print-settings " + shell_quoted(file) + " --set useCameraWB=0" + args +
                                   " --set 'customRawProfile=Canon 550D'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("exposure 0.75\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("destinationFile Text value\n"), std::string::npos);
    EXPECT_NE(r.out.find("customRawProfile Canon 550D\n"), std::string::npos);
}

TEST(DevelopToolSettings, SettingsFileChangesTheDevelopedImage) {
    test::TempDir dir;
    test::DngSpec s = test::make_dng_spec(test::DngLayout::Bayer, 64, 48);
    test::fill_flat(s, {900, 1100, 800});
    const auto raw = dir / "flat.dng";
    ASSERT_TRUE(test::write_dng(raw, s));
    const std::string bright = (dir / "bright.dvks").string();
    ASSERT_TRUE(write_file_atomically(bright, "exposure 1.5\n"));
    CommandRun plain =
        run_dvk_develop("--format 1 --out " + shell_quoted((dir / "plain.tiff").string()) + " " + shell_quoted(raw));
    ASSERT_EQ(plain.status, 0) << plain.err;
    CommandRun lit = run_dvk_develop("--format 1 --settings " + shell_quoted(bright) + " --out " +
                                     shell_quoted((dir / "lit.tiff").string()) + " " + shell_quoted(raw));
    ASSERT_EQ(lit.status, 0) << lit.err;
    const double m0 = tiff_mean((dir / "plain.tiff").string());
    const double m1 = tiff_mean((dir / "lit.tiff").string());
    ASSERT_GT(m0, 0);
    EXPECT_GT(m1, m0 + 10) << m0 << " " << m1;
    // A --set after the file wins over it: the same image as without the file.
    CommandRun back = run_dvk_develop("--format 1 --settings " + shell_quoted(bright) + " --set exposure=0 --out " +
                                      shell_quoted((dir / "back.tiff").string()) + " " + shell_quoted(raw));
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(tiff_mean((dir / "back.tiff").string()), m0);
    // A broken settings file stops the file before anything is written.
    const std::string bad = (dir / "bad.dvks").string();
    ASSERT_TRUE(write_file_atomically(bad, "nonsense 1\n"));
    CommandRun failed = run_dvk_develop("--format 1 --settings " + shell_quoted(bad) + " --out " +
                                        shell_quoted((dir / "bad.tiff").string()) + " " + shell_quoted(raw));
    EXPECT_EQ(failed.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.tiff"));
}

}  // namespace
}  // namespace dvk
