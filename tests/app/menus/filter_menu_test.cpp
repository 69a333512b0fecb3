#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/menus/filter_menu.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/undo_manager.h"
#include "tests/app/menus/menus_fakes.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "profile";
}

TEST(FilterMenu, Uplab2labFilesNumberedFrom2000InListOrder) {
    test::TempDir root;
    touch(root / "b_UpLab2Lab.icc");
    touch(root / "a_uplab2lab.icc");
    touch(root / "BetaRGBCustom.icc");
    touch(root / "unrelated.icc");
    RawProcessor p;
    p.setBwMode(2001);
    test::FakeFiltersButtonView view;
    updateFiltersButton(p, view, root.path().string());
    ASSERT_EQ(p.uplab2labProfiles(), (Names{"a_uplab2lab.icc", "b_UpLab2Lab.icc"}));
    const MenuItems expected{MenuItem::choice("Custom BetaRGB", 99), MenuItem::choice("a_uplab2lab.icc", 2000),
                             MenuItem::choice("b_UpLab2Lab.icc", 2001)};
    EXPECT_EQ(view.items, expected);
    EXPECT_EQ(view.selected, 2001);
    // The engine reads the same list: the name at position 1 is filter 2001.
    p.setFilterName("b_UpLab2Lab.icc");
    EXPECT_EQ(p.bwMode(), 2001);

    // Removing the files removes their items at the next refresh.
    fs::remove(root / "BetaRGBCustom.icc");
    fs::remove(root / "a_uplab2lab.icc");
    touch(root / "AdobeRGBCustom.icc");
    updateFiltersButton(p, view, root.path().string());
    EXPECT_EQ(view.items, (MenuItems{MenuItem::choice("Custom AdobeRGB", 100),
                                     MenuItem::choice("b_UpLab2Lab.icc", 2000)}));
    EXPECT_EQ(p.uplab2labProfiles(), Names{"b_UpLab2Lab.icc"});
}

// A chosen look is held by its name; when its file vanishes, the pop-up and
// what develops agree on no filter, never another file's look.
TEST(FilterMenu, AVanishedFilterFileLeavesPopUpAndDevelopAgreeing) {
    test::TempDir root;
    touch(root / "a_uplab2lab.icc");
    touch(root / "b_uplab2lab.icc");
    touch(root / "BetaRGBCustom.icc");
    RawProcessor p;
    auto undo = std::make_shared<UndoManager>();
    p.setUndoManager(undo);
    test::FakeFiltersButtonView view;
    const std::string r = root.path().string();
    updateFiltersButton(p, view, r);
    p.setFilterName("b_uplab2lab.icc");
    ASSERT_EQ(p.bwMode(), 2001);
    const std::size_t steps = undo->undoCount();  // the program's own changes below add none

    // a goes: b keeps its look under its new number.
    fs::remove(root / "a_uplab2lab.icc");
    EXPECT_FALSE(dropVanishedFilter(p, r));
    updateFiltersButton(p, view, r);
    EXPECT_EQ(p.bwMode(), 2000);
    EXPECT_EQ(p.filterName(), "b_uplab2lab.icc");
    EXPECT_EQ(p.labFilterProfile(), "/tmp/b_uplab2lab.icc");
    EXPECT_EQ(view.selected, 2000);
    EXPECT_EQ(undo->undoCount(), steps);

    // b goes too: before the next develop the filter gives way to none, and
    // the refresh after it shows none.
    touch(root / "c_uplab2lab.icc");
    fs::remove(root / "b_uplab2lab.icc");
    EXPECT_TRUE(dropVanishedFilter(p, r));
    EXPECT_EQ(p.bwMode(), 0);
    EXPECT_EQ(p.labFilterProfile(), "");
    updateFiltersButton(p, view, r);
    EXPECT_EQ(view.items.back(), MenuItem::choice("c_uplab2lab.icc", 2000));
    EXPECT_EQ(p.bwMode(), 0);
    EXPECT_EQ(view.selected, 0);

    // The same when the refresh comes first: the old number would name c.
    p.setFilterName("c_uplab2lab.icc");
    touch(root / "0_uplab2lab.icc");
    fs::remove(root / "c_uplab2lab.icc");
    updateFiltersButton(p, view, r);
    EXPECT_EQ(p.bwMode(), 0);
    EXPECT_EQ(view.selected, 0);

    // Custom BetaRGB without its file.
    p.setBwMode(99);
    fs::remove(root / "BetaRGBCustom.icc");
    updateFiltersButton(p, view, r);
    EXPECT_EQ(p.bwMode(), 0);
    EXPECT_EQ(p.filterName(), "Color");
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(view.items, (MenuItems{MenuItem::choice("0_uplab2lab.icc", 2000)}));
    EXPECT_EQ(undo->undoCount(), steps + 2);  // the user's "c" and 99
}

TEST(FilterMenu, WalkIsBoundedAndFollowsNoLink) {
    test::TempDir root, outside;
    touch(root / "one" / "uplab2lab_1.icc");
    touch(root / "one" / "two" / "uplab2lab_2.icc");
    touch(root / "one" / "two" / "three" / "uplab2lab_3.icc");  // a fourth folder level: not walked
    touch(root / "uplab2lab" / "inside.icc");                   // the folder's name matches
    touch(outside / "uplab2lab_out.icc");
    touch(outside / "sub" / "uplab2lab_deep.icc");
    fs::create_directory_symlink(root.path(), root / "loop");
    fs::create_directory_symlink(root.path(), root / "one" / "loop_uplab2lab");
    fs::create_directory_symlink(outside.path(), root / "out");
    fs::create_symlink(outside / "uplab2lab_out.icc", root / "uplab2lab_link.icc");
    fs::create_symlink(outside / "uplab2lab_out.icc", root / "BetaRGBCustom.icc");
    fs::create_directories(root / "empty_uplab2lab_folder");
    EXPECT_EQ(findUplab2labProfiles(root.path().string()),
              (Names{"one/uplab2lab_1.icc", "uplab2lab/inside.icc", "one/two/uplab2lab_2.icc"}));
    EXPECT_FALSE(scanFilterProfiles(root.path().string()).customBetaRGB);

    // The entry bound ends the walk wherever it is.
    test::TempDir many;
    for (int i = 0; i < 20; ++i) touch(many / ("uplab2lab_" + std::to_string(100 + i) + ".icc"));
    EXPECT_EQ(findUplab2labProfiles(many.path().string(), {3, 5}).size(), 5u);
    EXPECT_EQ(findUplab2labProfiles(many.path().string()).size(), 20u);
    EXPECT_TRUE(findUplab2labProfiles((many / "missing").string()).empty());
}

TEST(FilterMenu, OtherUsersFilesAreLeftOut) {
    if (geteuid() != 0) GTEST_SKIP() << "making another user's files needs root";
    test::TempDir root;
    touch(root / "mine_uplab2lab.icc");
    touch(root / "theirs_uplab2lab.icc");
    touch(root / "BetaRGBCustom.icc");
    touch(root / "AdobeRGBCustom.icc");
    touch(root / "their_folder" / "uplab2lab.icc");
    const uid_t nobody = 65534;
    ASSERT_EQ(chown((root / "theirs_uplab2lab.icc").c_str(), nobody, nobody), 0);
    ASSERT_EQ(chown((root / "AdobeRGBCustom.icc").c_str(), nobody, nobody), 0);
    ASSERT_EQ(chown((root / "their_folder" / "uplab2lab.icc").c_str(), nobody, nobody), 0);
    const FilterProfileScan scan = scanFilterProfiles(root.path().string());
    EXPECT_TRUE(scan.customBetaRGB);
    EXPECT_FALSE(scan.customAdobeRGB);
    EXPECT_EQ(scan.uplab2lab, Names{"mine_uplab2lab.icc"});
}

}  // namespace
}  // namespace dvk
