#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pipeline/writers/output_naming.h"
#include "pipeline/writers/safe_output.h"
#include "tests/support/test_files.h"
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

// A file written again keeps the permissions it had (one kept private stays
// private); a new one gets those a plain fopen gives.
TEST(SafeOutputFile, AFileReplacedKeepsItsPermissions) {
    test::TempDir dir;
    const mode_t mask = ::umask(022);
    ::umask(mask);
    for (mode_t mode : {0600, 0640, 0444, 0755, -1}) {
        SCOPED_TRACE(mode);
        const std::string path = (dir / ("m" + std::to_string(mode))).string();
        if (mode != mode_t(-1)) {
            test::touch(path, "old");
            ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        }
        SafeOutputFile out(path);
        ASSERT_NE(out.stream(), nullptr);
        std::fputs("new", out.stream());
        ASSERT_TRUE(out.commit());
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode != mode_t(-1) ? mode : 0666 & ~mask);
        EXPECT_EQ(test::read_file(path), "new");
    }
}

// Every name the file system allows is written, however long, in ASCII or
// in UTF-8 of several bytes a character: the temporary file's name is cut
// short to fit (in whole characters), and what an ended writer left for the
// name is still found and removed.
TEST(SafeOutputFile, EveryNameTheFileSystemAllowsIsWritten) {
    test::TempDir dir;
    const std::size_t most = longest_file_name(dir.path().string());
    ASSERT_GE(most, 255u);
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    waitpid(ended, nullptr, 0);
    std::string emoji;  // 4 bytes a character
    while (emoji.size() + 4 <= most - 7) emoji += "\xF0\x9F\x98\x80";
    const std::vector<std::string> names = {
        "short.tiff",
        std::string(195, 'a') + ".tiff",       // its temporary name carries it whole
        std::string(231, 'b') + ".tiff",       // 236 bytes: its whole would not fit
        std::string(most - 5, 'c') + ".tiff",  // the longest
        emoji + std::string(most - 5 - emoji.size(), 'd') + ".tiff",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name.size());
        ASSERT_LE(name.size(), most);
        const std::string path = (dir / name).string();
        {
            SafeOutputFile out(path);
            ASSERT_NE(out.stream(), nullptr) << std::strerror(errno);
            const std::string temp = fs::path(out.temp_path()).filename().string();
            EXPECT_LE(temp.size(), most);
            const std::string stem = temp.substr(1, temp.rfind(".dvk-") - 1);
            EXPECT_EQ(name.compare(0, stem.size(), stem), 0) << temp;
            EXPECT_TRUE(stem.size() == name.size() || (name[stem.size()] & 0xC0) != 0x80) << temp;
            if (name.size() <= 200) EXPECT_EQ(stem, name);
            std::fputs("new", out.stream());
            ASSERT_TRUE(out.commit()) << std::strerror(errno);
        }
        EXPECT_EQ(test::read_file(path), "new");
        std::string left = safe_output_template(path, ended);
        const int fd = mkstemp(left.data());
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ::close(fd);
        EXPECT_EQ(leftover_temporary_files(path), std::vector<std::string>{left});
        EXPECT_EQ(remove_dead_writers_leftovers(dir.path().string()), std::vector<std::string>{left});
        EXPECT_EQ(entries(dir.path()), 1u);
        fs::remove(path);
    }
    EXPECT_EQ(name_length_refusal((dir / names.back()).string()), "");
    EXPECT_EQ(name_length_refusal((dir / ("x" + names.back())).string()),
              "its name is " + std::to_string(most + 1) + " bytes long, longer than the " + std::to_string(most) +
                  " bytes its file system allows");
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
