// A controller over a temporary support folder with scripted alerts and
// panels, its own user defaults file and search folder, and raw files to
// open: links to the Canon DNG of the test data and small synthetic DNGs of
// another camera.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/controller/controller.h"
#include "platform/alert.h"
#include "platform/panels.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk::test {

class ControllerFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // dir/photos/<relative>: a link to the Canon DNG (folders made on the way).
    std::string canonFile(const std::string& relative);
    // dir/photos/<relative>: a synthetic DNG of "Acme Fixture 1".
    std::string acmeFile(const std::string& relative);
    // What the open road does for the default: the file's name and camera,
    // then its default's settings, or the defaults when it has none.
    void openFile(const std::string& path);
    // Records the open file's settings with `source` (the file itself when empty).
    HistoryMO record(const std::string& source = std::string(), const std::string& destination = std::string());
    std::vector<HistoryMO> recordsWithSource(const std::string& source);
    RawProcessor& raw() { return *controller->rawProcessor(); }
    std::string photos() const { return (dir / "photos").string(); }

    // The options of the fixture's controller (support folder, defaults, search).
    ControllerOptions options();

    TempDir dir;
    std::unique_ptr<UserDefaults> defaults;
    ScriptedAlerts alerts;
    std::shared_ptr<ScriptedPanels> panels;
    std::unique_ptr<Controller> controller;
};

}  // namespace dvk::test
