// Save formats, output naming and saving through RawProcessor.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "develop_test_support.h"
#include "pipeline/writers/output_naming.h"
#include "pipeline/writers/save_formats.h"
#include "pipeline/writers/jpeg_writer.h"
#include "pipeline/writers/tiff_writers.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

void touch(const fs::path& p) { std::ofstream(p) << "x"; }

TEST(SetSaveFormat, AppliesTheRow) {
    RawProcessor p;
    EXPECT_EQ(p.saveFormat(), 2);
    EXPECT_EQ(p.dvklib()->save_writer, &write_tiff_cielab);
    EXPECT_EQ(p.comprQuality(), -1);

    p.setSaveFormat(5);
    EXPECT_EQ(p.dvklib()->save_writer, &write_tiff_float_rgb);
    EXPECT_EQ(p.dvklib()->writer_variant, 0);
    EXPECT_EQ(p.dvklib()->output_gamma, 1.0);
    EXPECT_EQ(p.raw(), 0);
    // Code 2 leaves the output gamma as it was.
    p.setSaveFormat(2);
    EXPECT_EQ(p.dvklib()->output_gamma, 1.0);
    EXPECT_EQ(p.dvklib()->writer_variant, 'N');

    p.setSaveFormat(21);
    EXPECT_EQ(p.dvklib()->save_writer, &write_jpeg);
    EXPECT_EQ(p.comprQuality(), 100);
    EXPECT_EQ(p.dvklib()->output_gamma, 2.2);
    EXPECT_EQ(p.outputProfile(), 8);
    p.setSaveFormat(0);
    EXPECT_EQ(p.comprQuality(), 100);  // TIFF codes keep the quality
    EXPECT_EQ(p.outputProfile(), 0);

    p.setSaveFormat(18);
    EXPECT_EQ(p.raw(), 1);
    p.setSaveFormat(20);
    EXPECT_EQ(p.raw(), 0);
    EXPECT_EQ(p.dvklib()->writer_variant, 's');

    // Codes beyond the table are brought into it.
    p.setSaveFormat(30);
    EXPECT_EQ(p.saveFormat(), 23);
    EXPECT_EQ(p.dvklib()->save_writer, &write_tiff_rgb);
    EXPECT_EQ(p.dvklib()->writer_variant, 'n');
    p.setSaveFormat(-4);
    EXPECT_EQ(p.saveFormat(), 0);
}

TEST(SetSaveFormat, DestinationExtensionFollowsTheFormat) {
    RawProcessor p;
    p.setDestinationFile("/x/y/pic.tiff");
    p.setSaveFormat(3);
    EXPECT_EQ(p.destinationFile(), "/x/y/pic.jpeg");
    p.setSaveFormat(0);
    EXPECT_EQ(p.destinationFile(), "/x/y/pic.tiff");
    p.setDestinationFile("out/");
    p.setSaveFormat(4);
    EXPECT_EQ(p.destinationFile(), "out/");
    p.setDestinationFile("noext");
    p.setSaveFormat(0);
    EXPECT_EQ(p.destinationFile(), "noext");
}

TEST(OutputNames, ThroughTheProcessor) {
    test::TempDir dir;
    RawProcessor p;
    p.setFileName((dir / "IMG_1.CR2").string());
    p.setSaveFormat(2);
    EXPECT_EQ(p.makeDefaultBaseName(), "IMG_1.tiff");
    EXPECT_EQ(p.makeFullDestinationFileName(), (dir / "IMG_1.tiff").string());
    p.setSaveFormat(3);
    p.setDestinationFile("out/");
    EXPECT_EQ(p.makeFullDestinationFileName(), (dir / "out" / "IMG_1.jpeg").string());
    EXPECT_FALSE(fs::exists(dir / "out"));

    std::string out;
    p.setDestinationFile("");
    p.setSaveFormat(0);
    touch(dir / "IMG_1.tiff");
    EXPECT_TRUE(p.isDestinationFileWritable(&out));
    EXPECT_EQ(out, (dir / "IMG_1.tiff").string());
    p.setDontOverwriteOnSave(1);
    EXPECT_TRUE(p.isDestinationFileWritable(&out));
    EXPECT_EQ(out, (dir / "IMG_1-001.tiff").string());
    EXPECT_FALSE(fs::exists(dir / "IMG_1-001.tiff"));  // the probe leaves nothing
    EXPECT_TRUE(p.isDestinationFileWritable(nullptr));

    p.setDestinationFile((dir / "missing" / "deeper" / "x.tiff").string());
    EXPECT_TRUE(p.isDestinationFileWritable(&out));  // the folder can be made: it is not yet
    EXPECT_FALSE(fs::exists(dir / "missing"));
    p.setDestinationFile("/mnt/dvk-no-such-disk/x.tiff");
    EXPECT_FALSE(p.isDestinationFileWritable(&out));
    EXPECT_FALSE(fs::exists("/mnt/dvk-no-such-disk"));
}

TEST(SaveImage, DontOverwriteNumbersTheFile) {
    test::TempDir dir;
    const fs::path raw = test::write_scene_dng(dir.path(), 64, 48, "IMG_2.dng");
    touch(dir / "IMG_2.tiff");
    RawProcessor p;
    p.setSaveFormat(1);
    p.setDontOverwriteOnSave(1);
    ASSERT_EQ(test::develop(p, raw, ""), 0);
    EXPECT_EQ(p.destinationFile(), (dir / "IMG_2-001.tiff").string());
    EXPECT_EQ(fs::file_size(dir / "IMG_2.tiff"), 1u);
    EXPECT_TRUE(test::read_tiff_image(dir / "IMG_2-001.tiff").ok);
    EXPECT_STREQ(p.dvklib()->source_file.get(), raw.c_str());
    EXPECT_STREQ(p.dvklib()->dest_file, (dir / "IMG_2-001.tiff").c_str());
}

// A write that fails part-way leaves neither a partial file nor a temporary
// one, and keeps an older file of the same name intact.
TEST(SaveImage, FailedWriteLeavesNoFileThatLooksComplete) {
    for (int code : {0, 4}) {
        test::TempDir dir;
        const fs::path raw = test::write_scene_dng(dir.path(), 256, 192);
        const fs::path dest = dir / (code == 4 ? "scene.jpeg" : "scene.tiff");
        touch(dest);
        RawProcessor p;
        p.setInterpolation(0);
        p.setSaveFormat(code);
        p.setFileName(raw.string());
        ASSERT_EQ(p.initDoubleImageFromRawFile(raw.string(), 0), 0);
        ASSERT_TRUE(p.convertImage());
        int rc;
        {
            test::FileSizeLimit full_disk(2048);
            rc = p.saveImage();
        }
        EXPECT_EQ(rc, code == 4 ? 1 : 3) << code;
        EXPECT_EQ(fs::file_size(dest), 1u) << code;
        std::size_t files = 0;
        for (auto& e : fs::directory_iterator(dir.path())) (void)e, ++files;
        EXPECT_EQ(files, 2u) << code;  // the raw file and the old output only
    }
}

std::string bytes_of(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A raw file named like its own output, and destinations that are the raw
// file under another name (a link, a hard link): nothing writes over it. A
// name made from the raw's own gets a number; one given is refused.
TEST(SaveImage, NeverWritesOverTheRawFile) {
    test::TempDir dir;
    const fs::path scene = test::write_scene_dng(dir.path(), 64, 48);
    const std::string raw = bytes_of(scene);
    struct Case {
        const char* rawName;
        int format;
        const char* destination;  // "" : made from the raw's name
        const char* written;      // "" : refused
    } cases[] = {
        {"photo.tiff", 0, "", "photo-001.tiff"},
        {"photo2.jpeg", 4, "", "photo2-001.jpeg"},
        {"photo3.tiff", 1, "out/", "out/photo3.tiff"},
        {"photo4.tiff", 0, "photo4.tiff", ""},
        {"photo5.tif", 0, "link.tif", ""},   // a link to the raw file
        {"photo6.jpg", 3, "hard.jpeg", ""},  // a second name of it
    };
    fs::create_symlink("photo5.tif", dir / "link.tif");
    for (const Case& c : cases) {
        const fs::path path = dir / c.rawName;
        fs::copy_file(scene, path);
        if (std::string(c.destination) == "hard.jpeg") fs::create_hard_link(path, dir / "hard.jpeg");
        RawProcessor p;
        p.setSaveFormat(c.format);
        p.setFileName(path.string());
        p.setDestinationFile(c.destination);
        std::string out, reason;
        const bool writable = p.isDestinationFileWritable(&out, &reason);
        const int rc = test::develop(p, path, c.destination);
        EXPECT_EQ(bytes_of(path), raw) << c.rawName;
        if (*c.written) {
            EXPECT_TRUE(writable) << c.rawName << ": " << reason;
            EXPECT_EQ(rc, 0) << c.rawName;
            EXPECT_EQ(out, (dir / c.written).string());
            EXPECT_EQ(p.destinationFile(), (dir / c.written).string());
            EXPECT_EQ(p.saveError(), "");
        } else {
            EXPECT_FALSE(writable) << c.rawName;
            EXPECT_EQ(reason, "it is the raw file being developed") << c.rawName;
            EXPECT_EQ(rc, 1) << c.rawName;
            EXPECT_EQ(p.saveError(), "it is the raw file being developed") << c.rawName;
        }
    }
}

// A raw file whose output's name is as long as the file system allows is
// saved, as a TIFF or a JPEG; one whose output's name would be a byte longer
// is refused before anything is written, naming the cause.
TEST(SaveImage, TheLongestNameIsSavedAndALongerOneIsRefusedWithTheCause) {
    test::TempDir dir;
    const std::size_t most = longest_file_name(dir.path().string());
    const fs::path scene = test::write_scene_dng(dir.path(), 64, 48);
    const std::string tooLong = "its name is " + std::to_string(most + 1) + " bytes long, longer than the " +
                                std::to_string(most) + " bytes its file system allows";
    struct Case {
        std::size_t stem;
        int format;
        const char* extension;
        bool saved;
    } cases[] = {{231, 1, ".tiff", true}, {most - 5, 1, ".tiff", true}, {most - 5, 4, ".jpeg", true},
                 {most - 4, 1, ".tiff", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stem << c.extension);
        const std::string stem(c.stem, 'r');
        const fs::path raw = dir / (stem + ".dng");
        const fs::path output = dir / (stem + c.extension);
        fs::copy_file(scene, raw);
        RawProcessor p;
        p.setSaveFormat(c.format);
        p.setFileName(raw.string());
        std::string out, reason;
        const bool writable = p.isDestinationFileWritable(&out, &reason);
        const int rc = test::develop(p, raw, "");
        EXPECT_EQ(out, output.string());
        if (c.saved) {
            EXPECT_TRUE(writable) << reason;
            EXPECT_EQ(rc, 0) << p.saveError();
            EXPECT_TRUE((c.format == 4 ? test::read_jpeg_image(output) : test::read_tiff_image(output)).ok);
            fs::remove(output);
        } else {
            EXPECT_FALSE(writable);
            EXPECT_EQ(reason, tooLong);
            EXPECT_EQ(rc, 1);
            EXPECT_EQ(p.saveError(), tooLong);
        }
        fs::remove(raw);
        std::size_t files = 0;
        for (auto& e : fs::directory_iterator(dir.path())) (void)e, ++files;
        EXPECT_EQ(files, 1u);  // the scene alone
    }
}

// Why a destination cannot be written, or a write failed, in the system's words.
TEST(SaveImage, FailuresSayTheSystemsReason) {
    test::TempDir dir;
    const fs::path raw = test::write_scene_dng(dir.path(), 64, 48);
    touch(dir / "file");
    std::string reason;
    EXPECT_FALSE(destination_path_writable((dir / "file" / "x.tiff").string(), &reason));
    EXPECT_EQ(reason, "Not a directory");
    EXPECT_FALSE(destination_path_writable((dir / "file" / "sub" / "x.tiff").string(), &reason));
    EXPECT_EQ(reason, "its folder cannot be made: Not a directory");
    EXPECT_FALSE(destination_path_writable("/mnt/dvk-no-such-disk/x.tiff", &reason));
    EXPECT_EQ(reason, "its folder cannot be made: No such file or directory");
    if (geteuid() != 0) {
        fs::create_directories(dir / "ro");
        fs::permissions(dir / "ro", fs::perms(0555));
        EXPECT_FALSE(destination_path_writable((dir / "ro" / "x.tiff").string(), &reason));
        EXPECT_EQ(reason, "Permission denied");
        fs::permissions(dir / "ro", fs::perms(0755));
    }
    for (int code : {0, 4}) {
        RawProcessor p;
        p.setSaveFormat(code);
        p.setFileName(raw.string());
        ASSERT_EQ(p.initDoubleImageFromRawFile(raw.string(), 0), 0);
        ASSERT_TRUE(p.convertImage());
        int rc;
        {
            test::FileSizeLimit full_disk(1024);
            rc = p.saveImage();
        }
        EXPECT_NE(rc, 0) << code;
        EXPECT_EQ(p.saveError(), "File too large") << code;
    }
}

TEST(SaveImage, UnwritableDestinationIsOne) {
    test::TempDir dir;
    const fs::path raw = test::write_scene_dng(dir.path(), 64, 48);
    RawProcessor p;
    p.setSaveFormat(0);
    touch(dir / "file");
    // A file where the folder should be: nothing can be created there.
    EXPECT_EQ(test::develop(p, raw, (dir / "file" / "x.tiff").string()), 1);
    RawProcessor j;
    j.setSaveFormat(3);
    EXPECT_EQ(test::develop(j, raw, (dir / "file" / "x.jpeg").string()), 2);
}

}  // namespace
}  // namespace dvk
