#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "core/dvklib.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

TEST(FileExists, OpensForReading) {
    TempDir dir;
    std::ofstream(dir / "a.txt") << "x";
    EXPECT_EQ(file_exists((dir / "a.txt").c_str()), 1);
    EXPECT_EQ(file_exists((dir / "b.txt").c_str()), 0);
    EXPECT_EQ(file_exists(nullptr), 0);
}

TEST(FileWritableState, ExistingFileIsTwoAndKeepsItsContent) {
    TempDir dir;
    std::ofstream(dir / "a.txt") << "keep";
    EXPECT_EQ(file_writable_state((dir / "a.txt").c_str()), 2);
    std::ifstream in(dir / "a.txt");
    std::string s;
    in >> s;
    EXPECT_EQ(s, "keep");
}

TEST(FileWritableState, MissingFileInWritableFolderIsOneAndLeavesNothing) {
    TempDir dir;
    EXPECT_EQ(file_writable_state((dir / "new.tif").c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.tif"));
}

TEST(FileWritableState, NullAndMissingFolderAreZero) {
    TempDir dir;
    EXPECT_EQ(file_writable_state(nullptr), 0);
    EXPECT_EQ(file_writable_state((dir / "no" / "such" / "x.tif").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(FileWritableState, WriteOnlyFileIsNeitherTruncatedNorRemoved) {
    TempDir dir;
    const auto p = dir / "wo.txt";
    std::ofstream(p) << "data";
    ASSERT_EQ(chmod(p.c_str(), S_IWUSR), 0);
    if (geteuid() == 0) {
        // root opens anything for update; the file simply counts as writable.
        EXPECT_EQ(file_writable_state(p.c_str()), 2);
    } else {
        EXPECT_EQ(file_writable_state(p.c_str()), 0);
    }
    ASSERT_TRUE(std::filesystem::exists(p));
    EXPECT_EQ(std::filesystem::file_size(p), 4u);
}

TEST(FileWritableState, ReadOnlyFolderIsZeroAndLeavesNothing) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), S_IRUSR | S_IXUSR), 0);
    EXPECT_EQ(file_writable_state((dir / "x.tif").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.tif"));
}

}  // namespace
}  // namespace dvk::test
