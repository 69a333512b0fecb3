// The controller with its main window and the menus and panels bound to it,
// offscreen, with scripted alerts and file panels, a support folder and user
// defaults of its own; the chart DNG opened as the program opens a file.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/controller/controller.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/main_window/main_window_delegate.h"
#include "app/ui/main_window/main_window_menus.h"
#include "platform/alert.h"
#include "platform/panels.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk::test {

class PanelsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the chart and waits until it is shown.
    void openChart();
    void settle();
    std::string support() const { return (dir / "support").string(); }
    RawProcessor& rp() { return *controller->rawProcessor(); }

    TempDir dir;
    ScriptedAlerts alerts;
    std::shared_ptr<ScriptedPanels> panels;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowMenus> menus;
    std::unique_ptr<MainWindowDelegate> delegate;
};

}  // namespace dvk::test
