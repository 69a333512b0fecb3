// The camera profile on every road it comes in by: a file that cannot serve as
// one is refused with the reason by the tools' roads (an option, a setting, a
// settings file) and develops with the camera's own profile, said, in the
// window's open, a save and a batch (from a folder default or a history
// record); a bare file name means the file in the Profiles folder everywhere.
#include <tiffio.h>

#include <filesystem>
#include <fstream>

#include "app/batch/batch_export.h"
#include "pipeline/processor/settings_argument.h"
#include "pipeline/stages/gamut_map.h"
#include "tests/app/roads/roads_fixture.h"
#include "tests/support/test_files.h"
#include "tests/support/test_profiles.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

// The 16-bit samples of a TIFF the develop wrote; empty when it cannot be read.
std::vector<std::uint16_t> samples(const std::string& path) {
    std::vector<std::uint16_t> out;
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) return out;
    std::uint32_t h = 0;
    std::uint16_t bits = 0;
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
    const tmsize_t row = TIFFScanlineSize(t);
    if (bits == 16 && row > 0) {
        out.resize(std::size_t(row / 2) * h);
        for (std::uint32_t y = 0; y < h; ++y)
            if (TIFFReadScanline(t, out.data() + std::size_t(row / 2) * y, y) < 0) {
                out.clear();
                break;
            }
    }
    TIFFClose(t);
    return out;
}

// Whether two develops of a file took the same profiles: the same samples
// but for the last bits (the conversions' tables, built once enough pixels
// went through them, differ from the exact transform by that much).
bool same_develop(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b) {
    if (a.empty() || a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::abs(int(a[i]) - int(b[i])) > 16) return false;
    return true;
}

class ProfileRoads : public RoadsFixture {
protected:
    // Runs a batch of `items` to its end; what it says at its end (after the
    // question at its start).
    std::string batch(std::vector<BatchItem> items) {
        alerts.clear();
        EXPECT_TRUE(controller->runBatchInThread(std::move(items)));
        controller->waitForRoads();
        const std::vector<std::string> texts = alertTexts();
        return texts.size() < 2 ? std::string() : texts.back();
    }
    // The samples of the output of `raw` beside it, taken away.
    static std::vector<std::uint16_t> output(const std::string& raw) {
        const std::string tiff = fs::path(raw).replace_extension(".tiff").string();
        std::vector<std::uint16_t> px = samples(tiff);
        fs::remove(tiff);
        return px;
    }
};

TEST_F(ProfileRoads, AFileThatIsNoCameraProfileIsRefusedOrSaidOnEveryRoad) {
    const std::vector<ProfileCase> cases = write_profile_cases(dir / "profiles");
    // For each case a folder default naming it (a file developed under it,
    // and one developed with the record), all made from the same settings;
    // the same without a profile develops with the camera's own.
    std::vector<std::string> underDefault, withRecord;
    std::vector<HistoryMO> records;
    const std::string own = acmeFile("own/a.dng");
    openFile(own);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string n = std::to_string(i);
        underDefault.push_back(acmeFile("f" + n + "/a.dng"));
        withRecord.push_back(acmeFile("r" + n + "/a.dng"));
        raw().setCustomRawProfile(cases[i].path);
        records.push_back(record(photos() + "/f" + n + "/"));
    }
    raw().setCustomRawProfile(std::string());
    record(photos() + "/own/");

    // The batches, over the folders and of the records: the camera's own
    // stands in, each named with its reason.
    std::vector<BatchItem> paths, withRecords;
    std::string standInsByPath, standInsByRecord;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        paths.push_back(BatchItem::path(underDefault[i]));
        withRecords.push_back(BatchItem::withSettings(withRecord[i], records[i]));
        const std::string why =
            " cannot be read (" + cases[i].reason + "): developed with the camera's default profile";
        if (cases[i].reason.empty()) continue;
        standInsByPath += "\n" + underDefault[i] + ": the camera profile " + cases[i].path + why;
        standInsByRecord += "\n" + withRecord[i] + ": the camera profile " + cases[i].path + why;
    }
    paths.push_back(BatchItem::path(own));
    const std::string heading = "Batch|" + std::to_string(cases.size() - 1) + " files were developed with a stand-in:";
    EXPECT_EQ(batch(std::move(paths)), heading + standInsByPath);
    EXPECT_EQ(batch(std::move(withRecords)), heading + standInsByRecord);
    const std::vector<std::uint16_t> batchOwn = output(own);
    ASSERT_FALSE(batchOwn.empty());

    // The window's Save with the camera's own, to compare with.
    ASSERT_TRUE(openAndWait(own));
    controller->saveFile();
    controller->waitForRoads();
    const std::vector<std::uint16_t> saveOwn = output(own);

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ProfileCase& c = cases[i];
        SCOPED_TRACE(c.what);
        const bool usable = c.reason.empty();
        EXPECT_NE(same_develop(output(underDefault[i]), batchOwn), usable);
        EXPECT_NE(same_develop(output(withRecord[i]), batchOwn), usable);

        // The tools' roads: --profile and --set, a settings file.
        const std::string problem = "cannot read the camera profile " + c.path + ": " + c.reason;
        RawProcessor option, file;
        const std::optional<std::string> set = apply_setting_value(option, "customRawProfile", c.path);
        const std::string dvks = (dir / "profile.dvks").string();
        std::ofstream(dvks) << "exposure 0.5\ncustomRawProfile " << c.path << "\n";
        const std::optional<std::string> read = apply_settings_file(file, dvks);
        EXPECT_EQ(set.value_or(""), usable ? "" : problem);
        EXPECT_EQ(read.value_or(""), usable ? "" : dvks + ": " + problem);
        EXPECT_EQ(option.dvklib()->custom_profile_data != nullptr, usable);

        // The window's open says it, and its Save develops with the camera's own.
        alerts.clear();
        ASSERT_TRUE(openAndWait(underDefault[i]));
        EXPECT_EQ(alertTexts(), usable ? std::vector<std::string>{}
                                       : std::vector<std::string>{"Camera profile not found|The camera profile \"" +
                                                                  c.path + "\" cannot be read (" + c.reason +
                                                                  "). The default profile is used instead."});
        EXPECT_EQ(raw().customRawProfile(), usable ? c.path : "");
        controller->saveFile();
        controller->waitForRoads();
        EXPECT_NE(same_develop(output(underDefault[i]), saveOwn), usable);
    }
}

// A folder default naming its profile by the bare file name (as the exported
// settings do) develops in a batch with that file of the Profiles folder, as
// the window does; a name of no file there is the camera's own, named.
TEST_F(ProfileRoads, ABatchFindsAFolderDefaultsProfileByItsBareName) {
    const IccBytes beta = builtin_icc_bytes("BetaRGB2.2");
    const fs::path profiles = dir / "support" / "Profiles";
    fs::create_directories(profiles);
    std::ofstream(profiles / "mine.icc", std::ios::binary).write(beta.data, beta.size);
    const std::string plain = acmeFile("plain/a.dng");
    openFile(plain);
    record(photos() + "/plain/");
    std::vector<std::string> files;
    const std::vector<std::string> named = {"mine.icc", (profiles / "mine.icc").string(), "gone.icc"};
    for (const std::string& profile : named) {
        const std::string x = acmeFile("d" + std::to_string(files.size()) + "/a.dng");
        openFile(x);
        raw().setCustomRawProfile(profile);
        record(fs::path(x).parent_path().string() + "/");
        files.push_back(x);
    }
    std::vector<BatchItem> items = {BatchItem::path(plain)};
    for (const std::string& f : files) items.push_back(BatchItem::path(f));
    EXPECT_EQ(batch(std::move(items)), "Batch|1 file was developed with a stand-in:\n" + files[2] +
                                           ": the camera profile " + (profiles / "gone.icc").string() +
                                           " cannot be read (No such file or directory): developed with the "
                                           "camera's default profile");
    const auto byName = output(files[0]), byPath = output(files[1]), gone = output(files[2]), own = output(plain);
    ASSERT_FALSE(byName.empty());
    EXPECT_TRUE(same_develop(byName, byPath));
    EXPECT_FALSE(same_develop(byName, own));
    EXPECT_TRUE(same_develop(gone, own));
}

}  // namespace
}  // namespace dvk::test
