#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <utility>

#include "app/menus/profile_menu.h"
#include "colour/camera_profile.h"
#include "core/dvklib.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/regular_file.h"
#include "tests/app/menus/menus_fakes.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_profiles.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

void set_camera(RawProcessor& p, const char* make, const char* model) {
    auto& id = p.dvklib()->raw().imgdata;
    std::snprintf(id.idata.make, sizeof id.idata.make, "%s", make);
    std::snprintf(id.idata.model, sizeof id.idata.model, "%s", model);
    id.color.rgb_cam[0][0] = 1.0f;
}

void touch_fake_profile(const fs::path& path) { test::write_rgb_profile(path); }

std::vector<std::string> titles(const MenuItems& items) {
    std::vector<std::string> out;
    for (const MenuItem& item : items) out.push_back(item.kind == MenuItemKind::Separator ? "-" : item.title);
    return out;
}

struct Road {
    RawProcessor processor;
    test::FakeProfileMenuView view;
    test::TempDir dir;
    int applies = 0;
    bool disabled = false;
    std::vector<std::string> alerts;
    ProfileMenuRoad road{processor,
                         view,
                         (dir.path() / "Profiles").string(),
                         [this] { return disabled; },
                         [this] { ++applies; },
                         [this](const std::string&, const std::string& text, const std::vector<std::string>&) {
                             alerts.push_back(text);
                             return 1000;
                         }};
};

TEST(ProfileMenu, PlusBacksGetOnlyTheirOwnVariant) {
    using V = std::vector<std::string>;
    EXPECT_EQ(cameraProfileVariants("Phase One P45+"), V{"Phase One P45+ Incandescent"});
    EXPECT_EQ(cameraProfileVariants("Phase One P45"), V{"Phase One P45 Incandescent"});
    EXPECT_EQ(cameraProfileVariants("Phase One P20+ Incandescent"), V{"Phase One P20+ Incandescent"});
    EXPECT_EQ(cameraProfileVariants("Leica M8 Hot Mirror"), V{"Leica M8 Hot Mirror"});
    EXPECT_TRUE(cameraProfileVariants("Canon 450D").empty());

    // Through the road: a P45+ back, the profile folder made on the way.
    Road r;
    set_camera(r.processor, "Phase One", "P 45+");
    createProfileMenu(r.road);
    EXPECT_TRUE(fs::is_directory(r.road.profileFolder));
    ASSERT_TRUE(r.view.menu);
    EXPECT_EQ(titles(*r.view.menu),
              (V{"Default", "Phase One P45+ Incandescent", "-", "Built-in", "-"}));
    EXPECT_EQ(r.view.checked, "Default");
    EXPECT_EQ(r.applies, 0);
}

TEST(ProfileMenu, DefaultAloneIsNotShown) {
    Road r;
    set_camera(r.processor, "Apple", "iPhone");  // the camera's own choice is "Built-in"
    createProfileMenu(r.road);
    EXPECT_EQ(r.view.menuSets, 1);
    EXPECT_FALSE(r.view.menu);
    EXPECT_EQ(r.view.checked, "Default");

    // A user profile makes it two items.
    touch_fake_profile(fs::path(r.road.profileFolder) / "mine.icc");
    createProfileMenu(r.road);
    ASSERT_TRUE(r.view.menu);
    EXPECT_EQ(titles(*r.view.menu), (std::vector<std::string>{"Default", "mine.icc"}));
}

TEST(ProfileMenu, UserProfilesSortedLinksToFoldersNotEntered) {
    test::TempDir dir;
    const fs::path folder = dir / "Profiles";
    touch_fake_profile(folder / "b.ICC");
    touch_fake_profile(folder / "A.icc");
    touch_fake_profile(folder / "sub" / "c.ICM");
    touch_fake_profile(folder / "sub" / "B.icm");
    touch_fake_profile(folder / "notes.txt");
    touch_fake_profile(folder / "icc");
    fs::create_directories(folder / "looks.icc");  // a folder is no profile
    touch_fake_profile(dir / "elsewhere" / "z.icc");
    fs::create_directory_symlink(dir / "elsewhere", folder / "linked");
    fs::create_directory_symlink(folder, folder / "sub" / "loop");
    fs::create_symlink(folder / "A.icc", folder / "link.icc");
    fs::create_symlink(folder / "gone.icc", folder / "dangling.icc");
    EXPECT_EQ(listUserProfiles(folder.string()),
              (std::vector<std::string>{"A.icc", "b.ICC", "link.icc", "sub/B.icm", "sub/c.ICM"}));
    EXPECT_TRUE(listUserProfiles((dir / "missing").string()).empty());
}

TEST(ProfileMenu, DefaultFromTheMenuClearsAndReapplies) {
    Road r;
    set_camera(r.processor, "Canon", "EOS 5D");
    r.processor.setFileName("/photos/IMG_0001.CR2");
    const fs::path profile = fs::path(r.road.profileFolder) / "sub" / "Studio.icc";
    touch_fake_profile(profile);

    setCustomCameraProfile(r.road, "sub/Studio.icc", ProfileSender::MenuItem);
    EXPECT_EQ(r.processor.customRawProfile(), profile.string());
    EXPECT_EQ(r.view.checked, "sub/Studio.icc");
    EXPECT_EQ(r.view.titles.back(), "IMG_0001.CR2 (sub/Studio.icc)");
    EXPECT_EQ(r.applies, 1);

    // Rebuilding the menu keeps a profile in a subfolder.
    createProfileMenu(r.road);
    EXPECT_EQ(r.processor.customRawProfile(), profile.string());
    EXPECT_EQ(r.view.checked, "sub/Studio.icc");
    EXPECT_EQ(r.applies, 1);

    setCustomCameraProfile(r.road, "Default", ProfileSender::MenuItem);
    EXPECT_EQ(r.processor.customRawProfile(), "");
    EXPECT_EQ(r.view.titles.back(), "IMG_0001.CR2");
    EXPECT_EQ(r.applies, 2);

    // As a name: only set, never re-applied.
    setCustomCameraProfile(r.road, "Leica M8 Hot Mirror", ProfileSender::Name);
    EXPECT_EQ(r.processor.customRawProfile(), "Leica M8 Hot Mirror");
    EXPECT_STREQ(camera_builtin_profile_name(r.processor.dvklib()), "Leica M8 Hot Mirror");
    setCustomCameraProfile(r.road, "Default", ProfileSender::Name);
    EXPECT_EQ(r.processor.customRawProfile(), "");
    EXPECT_EQ(r.view.checked, "Default");
    EXPECT_EQ(r.applies, 2);

    // From the menu with auto-apply off: set, not re-applied.
    r.disabled = true;
    setCustomCameraProfile(r.road, "Built-in", ProfileSender::MenuItem);
    EXPECT_EQ(r.processor.customRawProfile(), "Built-in");
    EXPECT_EQ(r.applies, 2);
}

TEST(ProfileMenu, ProfileFileNamesResolveLinksAndAnyCase) {
    test::TempDir dir;
    const std::string folder = (dir / "Profiles").string();
    touch_fake_profile(dir / "real" / "target.icc");
    fs::create_directories(folder);
    fs::create_symlink(dir / "real" / "target.icc", fs::path(folder) / "Alias.ICM");
    ProfileChoice c = decideProfileChoice("Alias.ICM", ProfileSender::Name, false, folder, "");
    EXPECT_EQ(c.value, (dir / "real" / "target.icc").string());
    EXPECT_FALSE(c.windowTitle);  // no file open
    EXPECT_FALSE(c.reapply);
    c = decideProfileChoice("Phase One P45+ Incandescent", ProfileSender::MenuItem, false, folder, "/a/b.IIQ");
    EXPECT_EQ(c.value, "Phase One P45+ Incandescent");
    EXPECT_EQ(*c.windowTitle, "b.IIQ (Phase One P45+ Incandescent)");
    EXPECT_TRUE(c.reapply);

    EXPECT_EQ(profileMenuTitleFor("", folder), "Default");
    EXPECT_EQ(profileMenuTitleFor(folder + "/sub/x.icc", folder), "sub/x.icc");
    EXPECT_EQ(profileMenuTitleFor("/other/place/y.icm", folder), "/other/place/y.icm");
    EXPECT_EQ(profileMenuTitleFor((dir / "real" / "target.icc").string(), folder), "Alias.ICM");
    EXPECT_EQ(profileMenuTitleFor("Built-in", folder), "Built-in");
}

// A profile reached through a link in the folder, and one outside it (from
// the history or a settings file), stay what develops through a rebuild of
// the menu and a reopen (the history's value put back, the menu rebuilt); a
// file that cannot be read is an alert, and "Default" then shows and develops.
TEST(ProfileMenu, LinkedAndOutsideProfilesSurviveARebuildAndAReopen) {
    using V = std::vector<std::string>;
    Road r;
    set_camera(r.processor, "Canon", "EOS 5D");
    r.processor.setFileName("/photos/IMG_0001.CR2");
    const fs::path ext = r.dir / "elsewhere" / "Ext.icc";
    touch_fake_profile(ext);
    fs::create_directories(r.road.profileFolder);
    fs::create_symlink(ext, fs::path(r.road.profileFolder) / "Link.icc");
    const auto reopen = [&r] {
        const std::string value = r.processor.customRawProfile();
        r.processor.setCustomRawProfile("");
        r.processor.setCustomRawProfile(value);  // as the history's settings do
        createProfileMenu(r.road);
    };

    setCustomCameraProfile(r.road, "Link.icc", ProfileSender::MenuItem);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(r.processor.customRawProfile(), ext.string());
        EXPECT_NE(r.processor.dvklib()->custom_profile_data, nullptr);
        EXPECT_EQ(r.view.checked, "Link.icc");
        EXPECT_EQ(r.view.titles.back(), "IMG_0001.CR2 (Link.icc)");
        round == 0 ? createProfileMenu(r.road) : reopen();
    }
    EXPECT_EQ(titles(*r.view.menu), (V{"Default", "Built-in", "-", "Link.icc"}));

    const fs::path outside = r.dir / "elsewhere" / "Outside.icc";
    touch_fake_profile(outside);
    setCustomCameraProfile(r.road, outside.string(), ProfileSender::Name);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(r.processor.customRawProfile(), outside.string());
        EXPECT_NE(r.processor.dvklib()->custom_profile_data, nullptr);
        EXPECT_EQ(titles(*r.view.menu), (V{"Default", "Built-in", "-", "Link.icc", "-", outside.string()}));
        EXPECT_EQ(r.view.checked, outside.string());
        round == 0 ? createProfileMenu(r.road) : reopen();
    }
    // Chosen again from the menu by its item.
    setCustomCameraProfile(r.road, outside.string(), ProfileSender::MenuItem);
    EXPECT_EQ(r.processor.customRawProfile(), outside.string());
    EXPECT_EQ(r.applies, 2);
    EXPECT_TRUE(r.alerts.empty());

    // Gone: the choice is refused aloud and the menu shows what develops.
    fs::remove(outside);
    setCustomCameraProfile(r.road, outside.string(), ProfileSender::MenuItem);
    ASSERT_EQ(r.alerts.size(), 1u);
    EXPECT_NE(r.alerts[0].find(outside.string()), std::string::npos);
    EXPECT_EQ(r.processor.customRawProfile(), "");
    EXPECT_EQ(r.view.checked, "Default");
    EXPECT_EQ(r.view.titles.back(), "IMG_0001.CR2");
    EXPECT_EQ(r.applies, 3);
    // A history record naming it: the same at the reopen.
    r.processor.setCustomRawProfile(outside.string());
    createProfileMenu(r.road);
    EXPECT_EQ(r.alerts.size(), 2u);
    EXPECT_EQ(r.processor.customRawProfile(), "");
    EXPECT_EQ(r.view.checked, "Default");
    EXPECT_EQ(titles(*r.view.menu), (V{"Default", "Built-in", "-", "Link.icc"}));
}

// Reload Camera Profiles after the profile file in use went away (removed,
// or now a file no profile is read from: empty, beyond the size of profiles,
// a folder, text): said with the reason as the open says it, and what is on
// screen develops again with the default profile instead of the copy read
// before.
TEST(ProfileMenu, AProfileFileThatWentAwayIsSaidAtTheReload) {
    struct Way {
        const char* how;
        std::function<void(const fs::path&)> goAway;
        std::string reason;
    };
    const std::vector<Way> ways = {
        {"removed", [](const fs::path& p) { fs::remove(p); }, "No such file or directory"},
        {"emptied", [](const fs::path& p) { fs::resize_file(p, 0); }, "an empty file"},
        {"beyond the size of profiles", [](const fs::path& p) { fs::resize_file(p, kProfileFileMaxBytes + 1); },
         "too large (67108865 bytes, at most 67108864)"},
        {"a folder", [](const fs::path& p) { fs::remove(p), fs::create_directory(p); }, "not a regular file"},
        {"no longer a profile", [](const fs::path& p) { std::ofstream(p) << "overwritten"; }, "not an ICC profile"},
    };
    for (const auto& [how, goAway, reason] : ways) {
        SCOPED_TRACE(how);
        Road r;
        set_camera(r.processor, "Canon", "EOS 5D");
        r.processor.setFileName("/photos/IMG_0001.CR2");
        const fs::path outside = r.dir / "elsewhere" / "Outside.icc";
        touch_fake_profile(outside);
        setCustomCameraProfile(r.road, outside.string(), ProfileSender::Name);
        createProfileMenu(r.road);
        EXPECT_TRUE(r.alerts.empty());
        EXPECT_EQ(r.applies, 0);
        goAway(outside);
        createProfileMenu(r.road);
        EXPECT_EQ(r.alerts, std::vector<std::string>{"The camera profile \"" + outside.string() +
                                                     "\" cannot be read (" + reason +
                                                     "). The default profile is used instead."});
        EXPECT_EQ(r.processor.customRawProfile(), "");
        EXPECT_EQ(r.processor.dvklib()->custom_profile_data, nullptr);
        EXPECT_EQ(r.view.checked, "Default");
        EXPECT_EQ(r.applies, 1);
        createProfileMenu(r.road);  // said once
        EXPECT_EQ(r.alerts.size(), 1u);
        EXPECT_EQ(r.applies, 1);
    }
}

// The menu asks for the camera's own choice while an apply worker may be
// using the user's: the worker must never see anything but the user's choice.
TEST(ProfileMenu, RebuildingNeverDisturbsAWorkerReadingTheChoice) {
    Road r;
    set_camera(r.processor, "Phase One", "P 45+");
    setCustomCameraProfile(r.road, "Phase One P45+ Incandescent", ProfileSender::Name);
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0}, others{0};
    std::thread worker([&] {
        while (!stop.load()) {
            const char* name = camera_builtin_profile_name(r.processor.dvklib());
            if (std::strcmp(name, "Phase One P45+ Incandescent") != 0) ++others;
            ++reads;
        }
    });
    for (int i = 0; i < 1000; ++i) createProfileMenu(r.road);
    stop = true;
    worker.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(others.load(), 0);
    ASSERT_TRUE(r.view.menu);
    EXPECT_EQ(titles(*r.view.menu),
              (std::vector<std::string>{"Default", "Phase One P45+ Incandescent", "-", "Built-in", "-"}));
    EXPECT_EQ(r.view.checked, "Phase One P45+ Incandescent");
}

}  // namespace
}  // namespace dvk
