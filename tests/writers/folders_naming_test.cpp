#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "pipeline/writers/output_naming.h"
#include "pipeline/writers/save_formats.h"
#include "pipeline/writers/jpeg_writer.h"
#include "pipeline/writers/tiff_writers.h"
#include "platform/folder_functions.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

void touch(const fs::path& p) { std::ofstream(p) << "x"; }

TEST(CreateDirectoryPath, MakesMissingParents) {
    test::TempDir dir;
    fs::path p = dir / "a" / "b" / "c";
    EXPECT_TRUE(createDirectoryPath(p.string()));
    EXPECT_TRUE(fs::is_directory(p));
    umask(022);
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, fs::perms(0755));
}

TEST(CreateDirectoryPath, ExistingThingsRootAndEmpty) {
    test::TempDir dir;
    touch(dir / "file");
    EXPECT_TRUE(createDirectoryPath((dir / "file").string()));
    EXPECT_TRUE(createDirectoryPath(""));
    EXPECT_TRUE(createDirectoryPath("/"));
    EXPECT_FALSE(createDirectoryPath("/Volumes"));
    EXPECT_TRUE(createDirectoryPath((dir / "t" / "").string() + "/"));
    EXPECT_TRUE(fs::is_directory(dir / "t"));
    // A file in the way of a level fails.
    EXPECT_FALSE(createDirectoryPath((dir / "file" / "sub").string()));
    // The question alone makes nothing.
    EXPECT_TRUE(canCreateDirectoryPath((dir / "file").string()));
    EXPECT_TRUE(canCreateDirectoryPath((dir / "n" / "m").string()));
    EXPECT_FALSE(fs::exists(dir / "n"));
    EXPECT_FALSE(canCreateDirectoryPath((dir / "file" / "sub" / "deeper").string()));
    EXPECT_TRUE(canCreateDirectoryPath(""));
    EXPECT_FALSE(canCreateDirectoryPath("/Volumes"));
}

TEST(CreateDirectoryPath, NeverMakesAVolumeFolder) {
    const char* paths[] = {"/Volumes/DvkNoSuchDisk/a/b", "/mnt/dvk-no-such-disk/a", "/media/dvk-no-user/a",
                           "/media/dvk-no-user/Disk/a", "/run/media/dvk-no-user/Disk/a"};
    for (const char* p : paths) {
        EXPECT_FALSE(canCreateDirectoryPath(p)) << p;
        EXPECT_FALSE(createDirectoryPath(p)) << p;
    }
    EXPECT_FALSE(fs::exists("/Volumes"));
    EXPECT_FALSE(fs::exists("/mnt/dvk-no-such-disk"));
    EXPECT_FALSE(fs::exists("/media/dvk-no-user"));
    EXPECT_FALSE(fs::exists("/run/media/dvk-no-user/Disk"));
}

TEST(ResolveAliasPath, FollowsChainsOfLinks) {
    test::TempDir dir;
    touch(dir / "target");
    fs::create_symlink(dir / "target", dir / "l1");
    fs::create_symlink("l1", dir / "l2");  // relative
    EXPECT_EQ(resolveAliasPath((dir / "l2").string()), (dir / "target").string());
    EXPECT_EQ(resolveAliasPath((dir / "target").string()), (dir / "target").string());
    EXPECT_EQ(resolveAliasPath((dir / "missing").string()), (dir / "missing").string());
    fs::create_symlink(dir / "gone", dir / "dangling");
    EXPECT_EQ(resolveAliasPath((dir / "dangling").string()), (dir / "dangling").string());
    fs::create_symlink(dir / "loopb", dir / "loopa");
    fs::create_symlink(dir / "loopa", dir / "loopb");
    EXPECT_EQ(resolveAliasPath((dir / "loopa").string()), (dir / "loopa").string());
}

TEST(OutputNaming, DefaultNameAndDestinations) {
    EXPECT_EQ(makeDefaultBaseName("/a/b/IMG_1.CR2", false), "IMG_1.tiff");
    EXPECT_EQ(makeDefaultBaseName("/a/b/IMG_1.CR2", true), "IMG_1.jpeg");
    EXPECT_EQ(makeFullDestinationFileName("/a/b/IMG_1.CR2", "", false), "/a/b/IMG_1.tiff");

    test::TempDir dir;
    std::string src = (dir / "IMG_1.CR2").string();
    EXPECT_EQ(makeFullDestinationFileName(src, "out/", true), (dir / "out" / "IMG_1.jpeg").string());
    EXPECT_FALSE(fs::exists(dir / "out"));  // made by the save that writes there
    EXPECT_EQ(makeFullDestinationFileName(src, (dir / "x.png").string(), false), (dir / "x.tiff").string());
    EXPECT_EQ(makeFullDestinationFileName(src, (dir / "x.jpg").string(), false), (dir / "x.jpg").string());
    EXPECT_EQ(makeFullDestinationFileName(src, (dir / "y.TIF").string(), true), (dir / "y.TIF").string());
    EXPECT_EQ(makeFullDestinationFileName(src, (dir / "noext").string(), true), (dir / "noext.jpeg").string());
    EXPECT_EQ(makeFullDestinationFileName(src, "deep/er/z.tiff", false), (dir / "deep/er/z.tiff").string());
    EXPECT_FALSE(fs::exists(dir / "deep"));

    // A traced TIFF or JPEG takes the extension of the format in force.
    EXPECT_EQ(path_with_format_extension("/p/saveas1.tiff", true), "/p/saveas1.jpeg");
    EXPECT_EQ(path_with_format_extension("/p/saveas1.TIF", false), "/p/saveas1.TIF");
    EXPECT_EQ(path_with_format_extension("/p/a.b.JPG", true), "/p/a.b.JPG");
    EXPECT_EQ(path_with_format_extension("/p/a.jpg", false), "/p/a.tiff");
    EXPECT_EQ(path_with_format_extension("/p/noext", true), "/p/noext.jpeg");
}

TEST(OutputNaming, SpinCounter) {
    test::TempDir dir;
    std::string p = (dir / "IMG_1.tiff").string();
    EXPECT_EQ(spinCounterOnFileIfExists(p).value(), p);
    touch(p);
    EXPECT_EQ(spinCounterOnFileIfExists(p).value(), (dir / "IMG_1-001.tiff").string());
    touch(dir / "IMG_1-001.tiff");
    EXPECT_EQ(spinCounterOnFileIfExists(p).value(), (dir / "IMG_1-002.tiff").string());
    touch(dir / "IMG_1-004.tiff");
    EXPECT_EQ(spinCounterOnFileIfExists((dir / "IMG_1-004.tiff").string()).value(),
              (dir / "IMG_1-005.tiff").string());
    touch(dir / "b-999.tiff");
    touch(dir / "b-001.tiff");
    EXPECT_EQ(spinCounterOnFileIfExists((dir / "b-999.tiff").string()).value(), (dir / "b-002.tiff").string());
    touch(dir / "c-998.jpeg");
    touch(dir / "c-999.jpeg");
    EXPECT_FALSE(spinCounterOnFileIfExists((dir / "c-998.jpeg").string()).has_value());
}

TEST(OutputNaming, WritableProbeNeverHarmsAFile) {
    test::TempDir dir;
    std::string p = (dir / "new.tiff").string();
    EXPECT_TRUE(destination_path_writable(p));
    EXPECT_FALSE(fs::exists(p));
    touch(dir / "old.tiff");
    EXPECT_TRUE(destination_path_writable((dir / "old.tiff").string()));
    EXPECT_EQ(fs::file_size(dir / "old.tiff"), 1u);
    // A folder still to be made: writable when it can be made, and nothing is made.
    EXPECT_TRUE(destination_path_writable((dir / "nofolder" / "deeper" / "x.tiff").string()));
    EXPECT_FALSE(fs::exists(dir / "nofolder"));
    EXPECT_FALSE(destination_path_writable((dir / "old.tiff" / "sub" / "x.tiff").string()));
}

TEST(SaveFormats, TableRows) {
    ASSERT_EQ(save_format(24), nullptr);
    ASSERT_EQ(save_format(-1), nullptr);
    const SaveFormat* f2 = save_format(2);
    EXPECT_EQ(f2->writer, &write_tiff_cielab);
    EXPECT_TRUE(is_cielab_writer(f2->writer));
    EXPECT_EQ(f2->output_gamma, 0.0);
    EXPECT_EQ(save_format(5)->writer, &write_tiff_float_rgb);
    EXPECT_EQ(save_format(5)->output_gamma, 1.0);
    EXPECT_EQ(save_format(18)->raw, 1);
    EXPECT_EQ(save_format(17)->raw, 1);
    EXPECT_EQ(save_format(19)->variant, 'S');
    EXPECT_EQ(save_format(20)->variant, 's');
    EXPECT_EQ(save_format(21)->jpeg_quality, 100);
    EXPECT_EQ(save_format(21)->output_profile, 8);
    EXPECT_EQ(save_format(13)->jpeg_quality, 70);
    int jpegs = 0;
    for (int c = 0; c < kSaveFormatCount; ++c) {
        const SaveFormat* f = save_format(c);
        bool jpeg = is_jpeg_writer(f->writer);
        jpegs += jpeg;
        EXPECT_STREQ(f->extension, jpeg ? "jpeg" : "tiff") << c;
        EXPECT_EQ(jpeg, f->jpeg_quality > 0) << c;
    }
    EXPECT_EQ(jpegs, 10);
}

}  // namespace
}  // namespace dvk
