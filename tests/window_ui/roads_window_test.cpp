// The controller's roads on the real main window: a file opened through the
// open road is shown with its histogram, title and Save button; a batch ends
// with the empty window.
#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>

#include <filesystem>

#include "app/controller.h"
#include "app/exiftool.h"
#include "app/preview_controller.h"
#include "app/ui/controller_windows.h"
#include "app/ui/cropping_image_view.h"
#include "app/ui/image_view_no_drag.h"
#include "app/ui/main_window.h"
#include "platform/alert.h"
#include "platform/modifier_keys.h"
#include "platform/qt/qt_platform.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

class RoadsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        installQtMainQueue();
        setAlertPresenter(alerts.presenter());
        setExiftoolProgram("/bin/true");
        ControllerOptions options;
        options.supportFolder = (dir / "support").string();
        controller = std::make_unique<Controller>(options);
        windows = std::make_unique<ControllerWindows>(*controller);
        window = std::make_unique<MainWindow>(controller->preview());
        window->awakeFromNib(UserDefaults::standard());
        windows->setMainWindow(window.get());
        window->show();
        controller->launch();
        fs::create_directories(dir / "p");
        fs::create_symlink(test::testdata_dir() / "raw" / "colorchart.dng", dir / "p" / "chart.dng");
        chart = (dir / "p" / "chart.dng").string();
    }
    void TearDown() override {
        settle();
        windows.reset();
        window.reset();
        controller.reset();
        setExiftoolProgram("");
        setAlertPresenter({});
        uninstallQtMainQueue();
    }
    void settle() {
        QTRY_VERIFY_WITH_TIMEOUT(controller->activity().running() == 0 && !controller->isBusy() &&
                                     !controller->preview().applyWorker().busy(),
                                 60000);
    }

    test::TempDir dir;
    ScriptedAlerts alerts;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<ControllerWindows> windows;
    std::unique_ptr<MainWindow> window;
    std::string chart;
};

TEST_F(RoadsWindow, AnOpenedFileIsShownWithItsHistogramAndABatchEndsWithTheEmptyWindow) {
    EXPECT_EQ(window->menuBar()->actions().front()->text(), "&File");
    EXPECT_FALSE(window->saveButton()->isEnabled());
    ASSERT_TRUE(controller->startOpen(chart));
    settle();
    EXPECT_FALSE(window->imageView()->image().isNull());
    EXPECT_FALSE(window->histogramView()->image().isNull());
    EXPECT_EQ(window->windowTitle(), "chart.dng");
    EXPECT_EQ(window->windowFilePath().toStdString(), chart);
    EXPECT_TRUE(window->saveButton()->isEnabled());
    EXPECT_GT(controller->preview().height(), 0u);

    // A batch of one (Shift+Control): converted, then no file is open.
    alerts.answer("Continue");
    {
        ScopedModifierFlags held(kShiftKeyMask | kControlKeyMask);
        ASSERT_TRUE(controller->openRequest({chart}));
    }
    QTRY_VERIFY_WITH_TIMEOUT(window->cancelButton()->isVisible() || controller->activity().running() == 0, 60000);
    settle();
    EXPECT_TRUE(fs::exists(dir / "p" / "chart.tiff"));
    EXPECT_EQ(window->windowTitle(), "Dravik");
    EXPECT_TRUE(window->windowFilePath().isEmpty());
    EXPECT_TRUE(window->imageView()->image().isNull());
    EXPECT_TRUE(window->histogramView()->image().isNull());
    EXPECT_FALSE(window->cancelButton()->isVisible());
    EXPECT_FALSE(window->saveButton()->isEnabled());
    EXPECT_EQ(window->height(), 720);
    EXPECT_TRUE(controller->rawProcessor()->fileName().empty());
}

}  // namespace
}  // namespace dvk
