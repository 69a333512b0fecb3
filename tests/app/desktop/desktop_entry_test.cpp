#include <gtest/gtest.h>

#include <fstream>

#include "app/desktop/desktop_entry.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using Args = std::vector<std::string>;

DesktopEntry entryWithExec(const std::string& exec) { return {"/apps/gimp.desktop", "GIMP", "gimp-icon", exec}; }

std::vector<Args> commands(const std::string& exec, const Args& files, std::string* error = nullptr) {
    std::string why;
    auto c = desktopEntryCommands(entryWithExec(exec), files, &why);
    if (error) *error = why;
    return c ? *c : std::vector<Args>{};
}

TEST(DesktopEntry, ExecFieldCodesAndQuoting) {
    const Args files = {"/p/a b.tif", "/p/c.tif"};
    EXPECT_EQ(commands(R"(gimp-2.10 %U --flag "a \"q\" \$x \\ y" %i %c %k 100%%)", files),
              (std::vector<Args>{{"gimp-2.10", "file:///p/a%20b.tif", "file:///p/c.tif", "--flag", "a \"q\" $x \\ y",
                                  "--icon", "gimp-icon", "GIMP", "/apps/gimp.desktop", "100%"}}));
    std::string error;
    EXPECT_EQ(commands("/usr/bin/edit --in=%f -n %F", {"/p/a.tif"}, &error), std::vector<Args>{});
    EXPECT_EQ(error, "more than one file field code in its Exec line");
    EXPECT_EQ(commands("edit %F", files), (std::vector<Args>{{"edit", "/p/a b.tif", "/p/c.tif"}}));
    // One instance a file for %f and %u; none of the files for an entry that takes none.
    EXPECT_EQ(commands("edit --file=%f", files), (std::vector<Args>{{"edit", "--file=/p/a b.tif"}, {"edit", "--file=/p/c.tif"}}));
    EXPECT_EQ(commands("view %u", {"/p/c.tif"}), (std::vector<Args>{{"view", "file:///p/c.tif"}}));
    EXPECT_EQ(commands("viewer --new", files), (std::vector<Args>{{"viewer", "--new"}}));
    // Without files, codes that stand alone vanish; deprecated codes always do.
    EXPECT_EQ(commands("edit %f %d %m -x", {}), (std::vector<Args>{{"edit", "-x"}}));
    EXPECT_EQ(commands("edit %U", {}), (std::vector<Args>{{"edit"}}));
    // Without an icon, %i gives nothing.
    auto plain = desktopEntryCommands({"/a.desktop", "A", "", "a %i %F"}, {"/f"}, nullptr);
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, (std::vector<Args>{{"a", "/f"}}));
}

TEST(DesktopEntry, BrokenExecLinesAreRefused) {
    std::string error;
    for (const char* exec : {R"(edit "unclosed %F)", "edit %z", "edit --files=%F", R"(edit "a"b)", "edit a\"b", "edit %",
                             "%f", "   "}) {
        EXPECT_TRUE(commands(exec, {"/p/a.tif"}, &error).empty()) << exec;
        EXPECT_FALSE(error.empty()) << exec;
    }
}

TEST(DesktopEntry, ReadingTheFile) {
    test::TempDir dir;
    const std::string path = (dir / "viewer.desktop").string();
    std::ofstream(path) << "# comment\n[Desktop Action new]\nExec=wrong\n[Desktop Entry]\nType=Application\n"
                           "Name=Image Viewer\nName[de]=Bildbetrachter\nIcon=viewer\nExec=viewer\\s--x %F\n";
    std::string error;
    auto entry = readDesktopEntry(path, &error);
    ASSERT_TRUE(entry) << error;
    EXPECT_EQ(entry->name, "Image Viewer");
    EXPECT_EQ(entry->icon, "viewer");
    EXPECT_EQ(entry->exec, "viewer --x %F");
    EXPECT_TRUE(isDesktopEntryPath(path));
    EXPECT_FALSE(isDesktopEntryPath("/usr/bin/desktop"));

    std::ofstream(path) << "[Desktop Entry]\nType=Link\nURL=https://example.org\nExec=x\n";
    EXPECT_FALSE(readDesktopEntry(path, &error));
    EXPECT_EQ(error, "it is no application entry");
    std::ofstream(path) << "[Desktop Entry]\nName=No exec\n";
    EXPECT_FALSE(readDesktopEntry(path, &error));
    EXPECT_EQ(error, "it has no Exec line");
    std::ofstream(path) << "Exec=x\n";
    EXPECT_FALSE(readDesktopEntry(path, &error));
    EXPECT_FALSE(readDesktopEntry((dir / "missing.desktop").string(), &error));
}

}  // namespace
}  // namespace dvk
