// Which processes hold a file: found by open descriptor or by memory map,
// named by PID and command name alone.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/file_holders.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

std::string own_command() {
    std::ifstream in("/proc/self/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// A child that holds `path` open under the command name `name` until killed.
pid_t child_holding(const std::string& path, const char* name) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        const int fd = open(path.c_str(), O_RDONLY);
        prctl(PR_SET_NAME, name, 0, 0, 0);
        const char byte = fd >= 0 ? 1 : 0;
        if (write(ready[1], &byte, 1) != 1) _exit(1);
        for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    const bool ok = pid > 0 && read(ready[0], &byte, 1) == 1 && byte == 1;
    close(ready[0]);
    return ok ? pid : -1;
}

TEST(FileHolders, OpenMappedOrHeldByAnotherProcessAndNothingElse) {
    test::TempDir dir;
    const std::string open_file = (dir / "open.tif").string(), mapped = (dir / "mapped.tif").string(),
                      other = (dir / "other.tif").string(), alone = (dir / "alone.tif").string();
    for (const std::string& f : {open_file, mapped, other, alone}) std::ofstream(f) << "tiff bytes";

    // Made first, so that it holds none of what this process opens next. A
    // command name with a line break cannot break the log's lines.
    const pid_t child = child_holding(other, "held\nby me");
    ASSERT_GT(child, 0);
    struct Reap {
        pid_t pid;
        ~Reap() {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    } reap{child};
    const int fd = open(open_file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const int mfd = open(mapped.c_str(), O_RDONLY);
    ASSERT_GE(mfd, 0);
    void* map = mmap(nullptr, 10, PROT_READ, MAP_SHARED, mfd, 0);
    ASSERT_NE(map, MAP_FAILED);
    close(mfd);  // held by the mapping alone

    const FileHolder self{static_cast<int>(getpid()), own_command()};
    const struct {
        std::string path;
        std::vector<FileHolder> holders;
    } cases[] = {
        {open_file, {self}},
        {mapped, {self}},
        {other, {{static_cast<int>(child), "held?by me"}}},
        {alone, {}},
        {(dir / "missing.tif").string(), {}},
    };
    for (const auto& c : cases) {
        const std::vector<FileHolder> found = processesHoldingFile(c.path);
        ASSERT_EQ(found.size(), c.holders.size()) << c.path << ": " << describeFileHolders(found);
        EXPECT_EQ(describeFileHolders(found), describeFileHolders(c.holders)) << c.path;
    }
    EXPECT_EQ(describeFileHolders({{12, "gimp"}, {345, "held?by me"}}), "12 gimp, 345 held?by me");
    EXPECT_EQ(describeFileHolders({}), "");

    munmap(map, 10);
    close(fd);
    EXPECT_TRUE(processesHoldingFile(mapped).empty());
    EXPECT_TRUE(processesHoldingFile(open_file).empty());
}

}  // namespace
}  // namespace dvk
