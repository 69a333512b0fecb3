#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include "app/ui/main_window/window_corner.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

TEST(WindowCorner, AQtWindowMovedByTheUserComesBackToItsPlace) {
    int argc = 1;
    char name[] = "test_window_placement";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    test::TempDir dir;
    UserDefaults defaults((dir / "defaults.plist").string());

    QWidget window;
    window.setGeometry(120, 90, 500, 400);  // portrait: 400 >= 500 - 256
    window.show();
    const QRect free = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();

    EXPECT_FALSE(windowDidMove(window, false, defaults));
    auto record = windowDidMove(window, true, defaults);
    ASSERT_TRUE(record);
    EXPECT_STREQ(record->key, "topRightPointP");
    EXPECT_DOUBLE_EQ(record->distance.dx, free.x() + free.width() - (frame.x() + frame.width()));
    EXPECT_DOUBLE_EQ(record->distance.dy, frame.y() - free.y());
    auto stored = parseCornerDistance(defaults.stringForKey("topRightPointP"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(anchoredFrame(window, frame.size(), *stored, {}), frame);
    // A landscape frame takes the other corner: none recorded, so the free area's top-right.
    EXPECT_EQ(anchoredFrame(window, QSize(600, 300), *stored, {}),
              QRect(free.x() + free.width() - 600, free.y(), 600, 300));
}

}  // namespace
}  // namespace dvk
