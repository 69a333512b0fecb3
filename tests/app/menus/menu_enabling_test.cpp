#include <gtest/gtest.h>

#include "app/menus/menu_enabling.h"

namespace dvk {
namespace {

TEST(MenuEnabling, WhatWorksOnTheOpenFileNeedsOne) {
    const MenuEnablingState none{false}, open{true};
    for (const char* name : {"openNextFile:", "openPreviousFile:", "saveFile:", "saveFileAs:", "moveCurrentFileToTrash:",
                             "moveCurrentProfileToTrash:", "copySettings:", "pasteSettings:", "exportSettingsAs:",
                             "addToHistoryAndSetDirectoryDefault:", "rotateImageLeft:", "showCreateWBPresetWindow:",
                             "showProfilingWindow:"}) {
        EXPECT_FALSE(menuItemEnabled(name, none)) << name;
        EXPECT_TRUE(menuItemEnabled(name, open)) << name;
    }
    // Opening, many files' settings, the history, the windows, quitting: always.
    for (const char* name : {"selectFile:", "exportMultipleSettings:", "importMultipleSettings:", "cleanHistory:",
                             "showHistory:", "drawDiagram:", "undo:", "terminate:", "runAWBLock:", ""})
        EXPECT_TRUE(menuItemEnabled(name, none)) << name;
}

}  // namespace
}  // namespace dvk
