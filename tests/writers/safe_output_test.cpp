#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "pipeline/writers/safe_output.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

std::size_t entries(const fs::path& dir) {
    std::size_t n = 0;
    for (auto& e : fs::directory_iterator(dir)) (void)e, ++n;
    return n;
}

TEST(SafeOutputFile, CommitRenamesIntoPlace) {
    test::TempDir dir;
    std::string path = (dir / "x.tiff").string();
    {
        SafeOutputFile out(path);
        ASSERT_NE(out.stream(), nullptr);
        EXPECT_EQ(fs::path(out.temp_path()).parent_path(), dir.path());
        std::fputs("hello", out.stream());
        EXPECT_FALSE(fs::exists(path));
        EXPECT_TRUE(out.commit());
    }
    EXPECT_EQ(fs::file_size(path), 5u);
    EXPECT_EQ(entries(dir.path()), 1u);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IRGRP, 0u);  // not the 0600 of a temporary file (default umask)
}

TEST(SafeOutputFile, AbandonedWriteLeavesNothingAndKeepsTheOldFile) {
    test::TempDir dir;
    std::string path = (dir / "x.jpeg").string();
    { FILE* f = std::fopen(path.c_str(), "w"); std::fputs("old", f); std::fclose(f); }
    {
        SafeOutputFile out(path);
        ASSERT_NE(out.stream(), nullptr);
        std::fputs("partial new data", out.stream());
    }
    EXPECT_EQ(fs::file_size(path), 3u);
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(SafeOutputFile, MissingFolderFails) {
    test::TempDir dir;
    SafeOutputFile out((dir / "no" / "x.tiff").string());
    EXPECT_EQ(out.stream(), nullptr);
    EXPECT_FALSE(out.commit());
}

}  // namespace
}  // namespace dvk
