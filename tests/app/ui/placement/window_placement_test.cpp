#include <gtest/gtest.h>

#include "app/window/window_placement.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

void expectRect(const PlacementRect& r, double x, double y, double w, double h) {
    EXPECT_DOUBLE_EQ(r.x, x);
    EXPECT_DOUBLE_EQ(r.y, y);
    EXPECT_DOUBLE_EQ(r.width, w);
    EXPECT_DOUBLE_EQ(r.height, h);
}

TEST(WindowPlacement, ShapeRule) {
    EXPECT_TRUE(isPortraitFrame(1000, 800));   // 800 >= 744
    EXPECT_TRUE(isPortraitFrame(1000, 744));
    EXPECT_FALSE(isPortraitFrame(1000, 700));
    EXPECT_FALSE(isPortraitFrame(256, 900));   // no wider than the side panel
    EXPECT_STREQ(cornerKeyForFrame(1000, 800), "topRightPointP");
    EXPECT_STREQ(cornerKeyForFrame(1000, 700), "topRightPointL");
}

TEST(WindowPlacement, MoveThenAnchorKeepsThePlaceBelowATopPanel) {
    // A 1920 x 1080 screen whose free area starts below a 27-pixel panel.
    const PlacementRect screen{0, 27, 1920, 1053};
    const PlacementRect frame{600, 100, 1000, 800};
    auto record = cornerRecordForMove({frame, screen, true, false, false});
    ASSERT_TRUE(record);
    EXPECT_STREQ(record->key, "topRightPointP");
    EXPECT_DOUBLE_EQ(record->distance.dx, 320);
    EXPECT_DOUBLE_EQ(record->distance.dy, 73);  // down from the free area's top
    expectRect(placeAtCorner(1000, 800, record->distance, screen), 600, 100, 1000, 800);
    // A narrower landscape window at the same corner keeps the corner.
    expectRect(placeAtCorner(900, 500, record->distance, screen), 700, 100, 900, 500);
    // On a second screen to the right, offset downward.
    const PlacementRect second{1920, 40, 2560, 1400};
    auto there = cornerRecordForMove({{3000, 300, 1000, 700}, second, true, false, false});
    ASSERT_TRUE(there);
    EXPECT_STREQ(there->key, "topRightPointL");
    expectRect(placeAtCorner(1000, 700, there->distance, second), 3000, 300, 1000, 700);
}

TEST(WindowPlacement, MovesThatRecordNothingAndNoScreen) {
    const PlacementRect screen{0, 0, 1920, 1080};
    const PlacementRect frame{100, 100, 1000, 700};
    EXPECT_FALSE(cornerRecordForMove({frame, screen, false, false, false}));  // moved by the program
    EXPECT_FALSE(cornerRecordForMove({frame, screen, true, true, false}));    // full screen
    EXPECT_FALSE(cornerRecordForMove({frame, screen, true, false, true}));    // Wayland
    auto none = cornerRecordForMove({frame, {}, true, false, false});
    ASSERT_TRUE(none);
    EXPECT_DOUBLE_EQ(none->distance.dx, -1100);
    EXPECT_DOUBLE_EQ(none->distance.dy, 100);
}

TEST(WindowPlacement, AnchorsThatLeaveTheFreeAreaArePinned) {
    const PlacementRect v{0, 30, 1600, 900};
    // Too far left: the right edge is pinned, y kept.
    expectRect(placeAtCorner(800, 600, {1000, 50}, v), 800, 80, 800, 600);
    // Too low: the top edge is pinned, x kept.
    expectRect(placeAtCorner(800, 600, {100, 500}, v), 700, 30, 800, 600);
    // Both out (negative distances): the free area's top-right corner.
    expectRect(placeAtCorner(800, 600, {-50, -50}, v), 800, 30, 800, 600);
    // Larger than the free area: cut to it, the whole frame on the screen.
    expectRect(placeAtCorner(2000, 1200, {0, 0}, v), 0, 30, 1600, 900);
    expectRect(placeAtCorner(2000, 600, {300, 100}, v), 0, 130, 1600, 600);
}

// The main window with its title bar and menu bar 46 high and its side panel,
// the frame's right 256 below them.
MainWindowParts parts(const PlacementRect& f) { return {f, 46, {f.x + f.width - 256, f.y + 46, 256, f.height - 46}}; }

TEST(WindowPlacement, SecondaryWindowsOpenBesideTheMainWindowNeverOverItsMenusOrPanel) {
    const PlacementRect big{0, 0, 1600, 1000}, small{0, 0, 1280, 720};
    // The empty window and the chart's, as they open on the big screen.
    const PlacementRect empty{1183, 0, 417, 860}, chart{477, 0, 1123, 860};
    const PlacementRect helper{777, 0, 406, 374}, history{0, 555, 1002, 445};
    const struct {
        const char* what;
        SecondarySize size;
        PlacementRect main, screen;
        std::vector<PlacementRect> others;
        PlacementRect expected;
    } cases[] = {
        {"the helper beside the empty window: on its left", {696, 312}, {1280, 0, 320, 852}, big, {}, {584, 0, 696, 312}},
        {"on the small screen", {696, 312}, {960, 0, 320, 720}, small, {}, {264, 0, 696, 312}},
        {"on the right when the left has no room", {696, 312}, {100, 50, 400, 500}, big, {}, {500, 50, 696, 312}},
        {"below when neither side has", {696, 312}, {100, 50, 1400, 500}, big, {}, {100, 550, 696, 312}},
        {"the diagram beside the empty window, below the helper there", {278, 360}, empty, big, {helper},
         {905, 374, 278, 360}},
        {"the helper and the diagram beside the chart's window", {406, 374}, chart, big, {}, {71, 0, 406, 374}},
        {"", {278, 360}, chart, big, {{71, 0, 406, 374}}, {199, 374, 278, 360}},
        // No room beside it: at the bottom of the free area left of the
        // panel, below the menu band; over the image's lower part at most.
        {"the helper beside the chart's window", {696, 312}, chart, big, {}, {0, 688, 696, 312}},
        {"the history window", {1002, 445}, chart, big, {}, history},
        {"on the small screen", {1002, 445}, {157, 0, 1123, 720}, small, {}, {0, 275, 1002, 445}},
        {"cut to the room below the menu band", {420, 700}, {0, 0, 1280, 720}, small, {}, {0, 46, 420, 674}},
        {"a main window lower on the screen", {696, 312}, {477, 100, 1123, 852}, big, {}, {0, 688, 696, 312}},
        {"larger than the screen: cut to the room left of the panel", {1400, 800}, {960, 0, 320, 720}, small, {},
         {0, 46, 1024, 674}},
        {"a maximised window: past the history window at the bottom", {278, 360}, {0, 0, 1600, 1000}, big, {history},
         {1002, 640, 278, 360}},
        {"narrower there than it can be: over the panel's lower part", {1100, 400, 1100, 300}, {200, 0, 1080, 720},
         small, {}, {0, 320, 1100, 400}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PlacementRect r = besideFrame(c.size, parts(c.main), c.screen, c.others);
        expectRect(r, c.expected.x, c.expected.y, c.expected.width, c.expected.height);
        if (c.size.leastWidth == 0) {
            EXPECT_FALSE(coversMenuBandOrPanel(r, parts(c.main)));
        }
    }
    // A window that was on show comes back where it was, on the screen.
    expectRect(keptInside({1500, 900, 400, 300}, big), 1200, 700, 400, 300);
    expectRect(keptInside({-50, -10, 400, 300}, small), 0, 0, 400, 300);
    expectRect(keptInside({10, 20, 400, 300}, small), 10, 20, 400, 300);
}

// The main window grows from the empty frame to the chart's (a file handed
// over, Next): the windows it now covers with its menus or panel, or that
// it came over, are placed again; one the user put over the image stays.
TEST(WindowPlacement, SecondaryWindowsArePlacedAgainWhenTheMainWindowGrows) {
    const PlacementRect empty{1183, 0, 417, 860}, chart{477, 0, 1123, 860};
    const struct {
        const char* what;
        PlacementRect frame, before;
        bool again;
    } cases[] = {
        {"the diagram beside the empty window, now under the menus", {905, 0, 278, 360}, empty, true},
        {"a window below them that the image came over", {600, 500, 300, 200}, empty, true},
        {"one the user put over the image", {600, 500, 300, 200}, chart, false},
        {"one over the image the panel came to", {1250, 500, 200, 200}, {900, 0, 700, 860}, true},
        {"one clear of the grown window", {0, 0, 400, 300}, empty, false},
        {"one just touching it", {77, 0, 400, 300}, empty, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(placedAgainAfterMainWindowChange(c.frame, c.before, parts(chart)), c.again) << c.what;
}

TEST(WindowPlacement, RecordedInTheDefaultsAsPointStrings) {
    test::TempDir dir;
    UserDefaults defaults((dir / "defaults.plist").string());
    auto record = recordWindowMove({{600.5, 100, 1000, 800}, {0, 27, 1920, 1053}, true, false, false}, defaults);
    ASSERT_TRUE(record);
    EXPECT_FALSE(recordWindowMove({{0, 0, 1000, 700}, {0, 27, 1920, 1053}, false, false, false}, defaults));
    UserDefaults reread((dir / "defaults.plist").string());
    EXPECT_EQ(reread.stringForKey("topRightPointP"), "{319.5, 73}");
    EXPECT_FALSE(reread.hasKey("topRightPointL"));

    auto parsed = parseCornerDistance(reread.stringForKey("topRightPointP"));
    ASSERT_TRUE(parsed);
    EXPECT_DOUBLE_EQ(parsed->dx, 319.5);
    EXPECT_DOUBLE_EQ(parsed->dy, 73);
    ASSERT_TRUE(parseCornerDistance(" {-12.25,3e2} "));
    EXPECT_DOUBLE_EQ(parseCornerDistance("{-12.25,3e2}")->dy, 300);
    for (const char* bad : {"", "{}", "{1, 2", "1, 2}", "{a, b}", "{1; 2}", "{1, 2} x", "{nan, 1}"})
        EXPECT_FALSE(parseCornerDistance(bad)) << bad;
}

}  // namespace
}  // namespace dvk
