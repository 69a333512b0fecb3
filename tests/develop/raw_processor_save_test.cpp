// Save formats, output naming and saving through RawProcessor.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "develop_test_support.h"
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
