// dvk-develop's --exif, --copy-tags and --menus with the real exiftool.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "pipeline/settings/white_balance_presets.h"
#include "tests/support/dng_writer.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

// dvk-develop with `args`, run from `cwd` with the support folder under `data`
// and `env` put in front.
CommandRun develop(const fs::path& cwd, const fs::path& data, const std::string& args, const std::string& env = "") {
    const fs::path err = data / "stderr.txt";
    fs::create_directories(data);
    CommandRun r = run_command("cd " + shell_quoted(cwd.string()) + " && XDG_DATA_HOME=" +
                               shell_quoted(data.string()) + " " + env + " " +
                               shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/dvk-develop") + " " + args + " 2>" +
                               shell_quoted(err.string()));
    std::ifstream in(err);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
}

std::string tags_of(const fs::path& file, const std::string& tags) {
    return run_command("exiftool -S " + tags + " " + shell_quoted(file.string())).out;
}

const char* const kSidecar =
    "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
    "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
    " <rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>\n"
    "  <dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Chart on the table</rdf:li></rdf:Alt></dc:title>\n"
    " </rdf:Description>\n"
    "</rdf:RDF>\n"
    "</x:xmpmeta>\n"
    "<?xpacket end='w'?>\n";

TEST(DvkDevelopMetadata, ExifPrintsTheInfoText) {
    TempDir dir;
    const std::string chart = shell_quoted((testdata_dir() / "raw" / "colorchart.dng").string());
    CommandRun r = develop(dir.path(), dir / "data", "--exif " + chart);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nModel: Canon EOS Kiss X4\n"), std::string::npos) << r.out;
    // A name beginning with "-" is a file to exiftool too, not an option.
    fs::copy_file(testdata_dir() / "raw" / "colorchart.dng", dir / "-x.dng");
    r = develop(dir.path(), dir / "data", "--exif -- -x.dng");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nModel: Canon EOS Kiss X4\n"), std::string::npos) << r.out << r.err;
    r = develop(dir.path(), dir / "data", "--exif " + chart, "DVK_DEV_EXIFTOOL=/nonexistent/exiftool");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(develop(dir.path(), dir / "data", "--exif --format 1 " + chart).status, 2);
}

TEST(DvkDevelopMetadata, CopyBringsMakeModelAndTheSidecarsTitle) {
    TempDir dir;
    const fs::path raw = dir / "chart.dng";
    fs::copy_file(testdata_dir() / "raw" / "colorchart.dng", raw);
    std::ofstream(dir / "chart.xmp") << kSidecar;
    CommandRun r = develop(dir.path(), dir / "data",
                           "--copy-tags --format 1 --out " + shell_quoted((dir / "out").string() + "/") + " " +
                               shell_quoted(raw.string()));
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path tiff = dir / "out" / "chart.tiff";
    ASSERT_TRUE(fs::exists(tiff)) << r.out;
    const std::string tags = tags_of(tiff, "-Make -Model -Title -FileType");
    EXPECT_NE(tags.find("Make: Canon\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("Model: Canon EOS Kiss X4\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("Title: Chart on the table\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("FileType: TIFF\n"), std::string::npos) << tags;
    EXPECT_FALSE(fs::exists(dir / "out" / "chart.tiff_original"));  // written in place

    // A name of the longest length the file system allows gets its tags too
    // (the tool's own temporary name would not fit), and no second name stays.
    const std::string longName = std::string(250, 'n') + ".tiff";
    r = develop(dir.path(), dir / "data",
                "--copy-tags --format 1 --out " + shell_quoted((dir / "long" / longName).string()) + " " +
                    shell_quoted(raw.string()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(tags_of(dir / "long" / longName, "-Model").find("Model: Canon EOS Kiss X4\n"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "long"), fs::directory_iterator()), 1);

    // A failing tool fails the run.
    r = develop(dir.path(), dir / "data", "--copy-tags --format 1 --out " +
                                              shell_quoted((dir / "out2").string() + "/") + " " +
                                              shell_quoted(raw.string()),
                "DVK_DEV_EXIFTOOL=/bin/false");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ExifTool result: ["), std::string::npos) << r.err;
    // The report of who holds the file is a diagnostic: standard output has
    // the written path alone.
    EXPECT_EQ(r.out, (dir / "out2" / "chart.tiff").string() + "\n");
    EXPECT_NE(r.err.find((dir / "out2" / "chart.tiff").string() + " is held by no process\n"), std::string::npos)
        << r.err;
    // Nothing of other processes: no process list, no one's arguments.
    EXPECT_EQ(r.err.find("axwwww"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(" PID "), std::string::npos) << r.err;
}

// exiftool takes "%d", "%f", "%e" in a source name for parts of the written
// file's name: raws whose names hold them keep their tags (and their
// sidecar's), and a copy whose source the tool could not open (it still
// exits 0) fails the run.
TEST(DvkDevelopMetadata, NamesWithPercentSignsKeepTheirTags) {
    TempDir dir;
    const fs::path folder = dir / "100%d";
    fs::create_directories(folder);
    std::string files;
    for (const char* name : {"x%d%f.dng", "50%e.dng"}) {
        fs::copy_file(testdata_dir() / "raw" / "colorchart.dng", folder / name);
        files += " " + shell_quoted((folder / name).string());
    }
    std::ofstream(folder / "50%e.xmp") << kSidecar;
    fs::create_directories(dir / "tmp");
    CommandRun r = develop(dir.path(), dir / "data", "--copy-tags --format 3" + files,
                           "TMPDIR=" + shell_quoted((dir / "tmp").string()));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"x%d%f.jpeg", "50%e.jpeg"}) {
        const std::string tags = tags_of(folder / name, "-Model -Title");
        EXPECT_NE(tags.find("Model: Canon EOS Kiss X4\n"), std::string::npos) << name << ": " << tags;
        EXPECT_EQ(tags.find("Title:") != std::string::npos, std::string(name) == "50%e.jpeg") << tags;
    }
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));  // the links that carried the names are gone

    std::ofstream(dir / "tool") << "#!/bin/sh\necho 'Warning: Error opening file - /x/50jpeg.dng'\nexit 0\n";
    fs::permissions(dir / "tool", fs::perms::owner_all);
    r = develop(dir.path(), dir / "data", "--copy-tags --format 3" + files,
                "DVK_DEV_EXIFTOOL=" + shell_quoted((dir / "tool").string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("copying the tags of " + (folder / "50%e.dng").string() + " failed"), std::string::npos)
        << r.err;
}

TEST(DvkDevelopMetadata, PhaseOneMakeInAFolderFullOfShellSyntax) {
    TempDir dir;
    const fs::path folder = dir / "it's \"quoted\" $(touch PWNED1) `touch PWNED2`";
    fs::create_directories(folder);
    DngSpec s = gradient_dng(DngLayout::Bayer, 64, 48);
    s.make = "Phase One";
    s.model = "P 45+";
    ASSERT_TRUE(write_dng(folder / "back.dng", s));
    CommandRun r = develop(dir.path(), dir / "data",
                           "--copy-tags --format 1 " + shell_quoted((folder / "back.dng").string()));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string tags = tags_of(folder / "back.tiff", "-Make -Model");
    EXPECT_NE(tags.find("Make: PhaseOne\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("Model: P 45+\n"), std::string::npos) << tags;
    for (const char* planted : {"PWNED1", "PWNED2"}) {
        EXPECT_FALSE(fs::exists(dir / planted));
        EXPECT_FALSE(fs::exists(folder / planted));
    }
}

TEST(DvkDevelopMetadata, MenusOfTheRealChart) {
    TempDir dir;
    const fs::path support = dir / "data" / "DVK";
    fs::create_directories(support / "Profiles" / "Studio");
    std::ofstream(support / "Profiles" / "Studio" / "lamp.ICM") << "x";
    std::ofstream(support / "Profiles" / "Daylight.icc") << "x";
    ASSERT_TRUE(write_wb_presets_file((support / "WBPresets.xml").string(),
                                      {WhiteBalancePresets::initWithCamera("Canon EOS Kiss X4", "Lamp", 0.5f, 0,
                                                                           -0.25f, 0.125f),
                                       WhiteBalancePresets::initWithCamera("Other", "Sun", 1, 0, 1, 0)}));
    CommandRun r = develop(dir.path(), dir / "data",
                           "--menus " + shell_quoted((testdata_dir() / "raw" / "colorchart.dng").string()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("profiles\t0\tDefault\nprofiles\t1\tBuilt-in\nprofiles\t3\tDaylight.icc\n"
                         "profiles\t4\tStudio/lamp.ICM\n"),
              std::string::npos)
        << r.out;
    // The filters and white-balance pop-ups whole: their fixed items too.
    EXPECT_NE(r.out.find("filters\t0\tColor\nfilters\t1\tPhotobrom B&W\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("filters\t22\tA100F\nfilters\t1000\tGF Lith Selenium-Gold\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("filters\t1010\tTP25 B&W\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("wb\t2\tAs Shot\nwb\t1\tAuto\nwb\t3\tNeutral\nwb\t0\tCustom\n"
                         "wb\t1000\tLamp\t0.5000 0.0000 -0.2500 0.1250\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\tSun\t"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace dvk::test
