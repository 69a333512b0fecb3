// The controller's roads on the real main window: a file opened through the
// open road is shown with its histogram, title and Save button (maximised
// when the preference asks); a batch ends with the empty window.
#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtGui/QAction>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSlider>

#include <filesystem>

#include "app/controller/controller.h"
#include "app/desktop/exiftool.h"
#include "app/preview/preview_controller.h"
#include "app/ui/shell/app_delegate_windows.h"
#include "app/ui/shell/controller_windows.h"
#include "app/ui/controls/cropping_image_view.h"
#include "app/ui/main_window/editors_pop_up.h"
#include "app/ui/controls/image_view_no_drag.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/main_window/main_window_menus.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "platform/alert.h"
#include "platform/modifier_keys.h"
#include "platform/qt/qt_platform.h"
#include "platform/user_defaults.h"
#include "tests/support/dng_writer.h"
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
        // In the program's order: the menus before the set-up.
        menus = std::make_unique<MainWindowMenus>(*controller, *window);
        window->awakeFromNib(UserDefaults::standard());
        windows->setMainWindow(window.get());
        wireAppDelegate(*controller, *windows, *window);
        window->show();
        controller->launch();
        fs::create_directories(dir / "p");
        fs::create_symlink(test::testdata_dir() / "raw" / "colorchart.dng", dir / "p" / "chart.dng");
        chart = (dir / "p" / "chart.dng").string();
    }
    void TearDown() override {
        settle();
        windows.reset();
        menus.reset();
        window.reset();
        controller.reset();
        setExiftoolProgram("");
        setAlertPresenter({});
        uninstallQtMainQueue();
    }
    // Whether the menu item of this action name can be chosen now.
    bool enabled(const char* name) {
        windows->refreshMenuStates();  // as before a menu opens
        QAction* a = window->menuBar()->findChild<QAction*>(QString::fromLatin1(name));
        if (!a)
            for (QAction* top : window->menuBar()->actions())
                if (top->menu() && !a) a = top->menu()->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_TRUE(a) << name;
        return a && a->isEnabled();
    }
    // What the window shows: its title and every setting control's value,
    // one line each ("NAME=VALUE"), in a fixed order.
    std::string shown() {
        QStringList lines{"title=" + window->windowTitle()};
        for (QComboBox* c : window->findChildren<QComboBox*>()) lines << c->objectName() + "=" + c->currentText();
        for (QLineEdit* e : window->findChildren<QLineEdit*>()) lines << e->objectName() + "=" + e->text();
        for (QCheckBox* b : window->findChildren<QCheckBox*>())
            lines << b->objectName() + "=" + (b->isChecked() ? "on" : "off");
        for (QSlider* s : window->findChildren<QSlider*>())
            lines << s->objectName() + "=" + QString::number(s->value());
        lines.removeIf([](const QString& line) { return line.startsWith('='); });  // unnamed
        lines.sort();
        return lines.join('\n').toStdString();
    }
    void settle() {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return controller->activity().running() == 0 && !controller->isBusy() &&
                       !controller->preview().applyWorker().busy();
            },
            60000))
            << "still busy after a minute";
    }

    test::TempDir dir;
    ScriptedAlerts alerts;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<ControllerWindows> windows;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowMenus> menus;
    std::string chart;
};

TEST_F(RoadsWindow, AnOpenedFileIsShownWithItsHistogramAndABatchEndsWithTheEmptyWindow) {
    EXPECT_EQ(window->menuBar()->actions().front()->text(), "&File");
    EXPECT_FALSE(window->saveButton()->isEnabled());
    // What needs a file is disabled without one.
    const char* const needAFile[] = {"saveFile:", "saveFileAs:", "openNextFile:", "moveCurrentFileToTrash:",
                                     "copySettings:", "pasteSettings:", "addToHistoryAndSetDirectoryDefault:",
                                     "rotateImageLeft:"};
    for (const char* name : needAFile) EXPECT_FALSE(enabled(name)) << name;
    EXPECT_TRUE(enabled("selectFile:"));
    EXPECT_TRUE(enabled("cleanHistory:"));
    const QRect emptyFrame = window->frameGeometry();
    const std::string emptyStart = shown();
    EXPECT_NE(emptyStart.find("title=DVK\n"), std::string::npos);
    EXPECT_TRUE(window->cameraInfoView()->toPlainText().isEmpty());
    ASSERT_TRUE(controller->startOpen(chart));
    settle();
    for (const char* name : needAFile) EXPECT_TRUE(enabled(name)) << name;
    EXPECT_NE(controller->rawProcessor()->evRed(), 0.0);
    EXPECT_FALSE(window->imageView()->image().isNull());
    EXPECT_FALSE(window->histogramView()->image().isNull());
    EXPECT_EQ(window->windowTitle(), "chart.dng");
    EXPECT_EQ(window->windowFilePath().toStdString(), chart);
    EXPECT_TRUE(window->saveButton()->isEnabled());
    EXPECT_GT(controller->preview().height(), 0u);
    const auto profilesMenu = [this] {
        for (QAction* a : window->menuBar()->actions())
            if (a->menu() && a->text() == "Profiles") return true;
        return false;
    };
    EXPECT_TRUE(profilesMenu());

    // A batch of one (Shift+Control) with settings of its own (kept from the
    // file open before): converted, then no file is open.
    controller->rawProcessor()->setInterpolation(0);  // AHD
    controller->rawProcessor()->setSaveFormat(0);
    controller->rawProcessor()->setHighRecoveryEnabled(1);
    EXPECT_NE(shown(), emptyStart);
    alerts.answer("Continue");
    {
        ScopedModifierFlags held(kShiftKeyMask | kControlKeyMask);
        ASSERT_TRUE(controller->openRequest({chart}));
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->cancelButton()->isVisible() || controller->activity().running() == 0; }, 60000));
    settle();
    EXPECT_TRUE(fs::exists(dir / "p" / "chart.tiff"));
    // The window of an empty start, saying what the batch did.
    EXPECT_EQ(shown(), emptyStart);
    EXPECT_EQ(window->cameraInfoView()->toPlainText().toStdString(), "Scanned 1 file: 1 written");
    EXPECT_TRUE(window->windowFilePath().isEmpty());
    EXPECT_TRUE(window->imageView()->image().isNull());
    EXPECT_TRUE(window->histogramView()->image().isNull());
    EXPECT_FALSE(window->cancelButton()->isVisible());
    EXPECT_FALSE(window->saveButton()->isEnabled());
    // The empty window: 720 high, or as high as its panel (and the screen)
    // make it, the frame of an empty start.
    EXPECT_EQ(window->height(), std::max(720, window->minimumSizeHint().height()));
    EXPECT_EQ(window->frameGeometry(), emptyFrame);
    EXPECT_FALSE(profilesMenu());
    EXPECT_TRUE(window->screen()->availableGeometry().contains(window->frameGeometry()));
    EXPECT_TRUE(controller->rawProcessor()->fileName().empty());
    // It shows none of the file's values, and what needs a file is disabled again.
    EXPECT_EQ(controller->rawProcessor()->evRed(), 0.0);
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("evRed"))->text(), "0.000");
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("infoR"))->text(), "0");
    for (const char* name : needAFile) EXPECT_FALSE(enabled(name)) << name;
}

// "Keep Window Zoomed" ("keepMax"): the window is maximised for the opened
// file and stays so while a setting is applied and the zoom changes; the
// batch's end gives the empty frame again.
TEST_F(RoadsWindow, KeepMaxMaximisesOpenedFilesUntilTheEmptyWindow) {
    struct KeepMax {
        KeepMax() { UserDefaults::standard().setBool("keepMax", true); }
        ~KeepMax() { UserDefaults::standard().removeKey("keepMax"); }
    } keepMax;
    // A portrait file, whose own window would leave room on the screen.
    const std::string portrait = (dir / "p" / "portrait.dng").string();
    ASSERT_TRUE(test::write_dng(portrait, test::gradient_dng(test::DngLayout::Bayer, 120, 360)));
    const QRect emptyFrame = window->frameGeometry();
    ASSERT_TRUE(controller->startOpen(portrait));
    settle();
    const QRect free = window->screen()->availableGeometry();
    const auto maximised = [&] {
        QTest::qWait(50);  // the window's own resizes come a turn later
        return window->isMaximized() && window->frameGeometry() == free;
    };
    EXPECT_TRUE(maximised());
    auto* exposure = window->findChild<QLineEdit*>(QStringLiteral("exposureField"));
    ASSERT_TRUE(exposure);
    exposure->selectAll();
    QTest::keyClicks(exposure, "1.5");
    QTest::keyClick(exposure, Qt::Key_Return);
    settle();
    EXPECT_EQ(controller->rawProcessor()->exposure(), 1.5);
    EXPECT_TRUE(maximised());
    for (bool fit : {false, true}) {
        controller->preview().controls().zoomToFit = fit;
        controller->preview().zoomToFitChanged();
        EXPECT_TRUE(maximised()) << fit;
    }

    alerts.answer("Continue");
    {
        ScopedModifierFlags held(kShiftKeyMask | kControlKeyMask);
        ASSERT_TRUE(controller->openRequest({portrait}));
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->cancelButton()->isVisible() || controller->activity().running() == 0; }, 60000));
    settle();
    EXPECT_TRUE(controller->rawProcessor()->fileName().empty());
    EXPECT_FALSE(window->isMaximized());
    EXPECT_EQ(window->frameGeometry(), emptyFrame);
}

TEST_F(RoadsWindow, EditorsPopUpFollowsTheControllersEditorsAndItsChoices) {
    PopUpButtonScroller* popUp = window->extEditorsButton();
    controller->editors() = {"/usr/bin/gimp", "/usr/share/applications/darktable.desktop"};
    controller->setCurrentEditor(2);
    controller->initEditorsButton();
    connectEditorsPopUp(*popUp, {[this]() -> std::vector<std::string>& { return controller->editors(); },
                                 [this] { return controller->currentEditor(); },
                                 [this](std::int64_t item) { controller->setCurrentEditor(item); },
                                 [this] { controller->initEditorsButton(); }});
    const auto titles = [popUp] {
        QStringList t;
        for (int i = 0; i < popUp->count(); ++i) t << popUp->itemText(i);
        return t.join('|');
    };
    EXPECT_EQ(titles(), "Don't open|Open in gimp|Open in darktable||New...|Delete");
    EXPECT_EQ(popUp->currentIndex(), 2);
    // Meta+1 chooses the first editor as a click on it would.
    QAction* first = nullptr;
    for (QAction* a : window->actions())
        if (a->shortcut() == QKeySequence(QStringLiteral("Meta+1"))) first = a;
    ASSERT_NE(first, nullptr);
    first->trigger();
    EXPECT_EQ(controller->currentEditor(), 1);
    // "Delete" asks, removes the current editor and selects "Don't open".
    alerts.answer("Yes");
    popUp->setCurrentIndex(5);
    emit popUp->tagChosen(5);
    EXPECT_EQ(titles(), "Don't open|Open in darktable||New...|Delete");
    EXPECT_EQ(controller->editors(), std::vector<std::string>{"/usr/share/applications/darktable.desktop"});
    EXPECT_EQ(controller->currentEditor(), 0);
    EXPECT_EQ(popUp->currentIndex(), 0);
    // The key equivalents were made again with the items: one editor, one Meta+1.
    int metaOne = 0;
    for (QAction* a : window->actions()) metaOne += a->shortcut() == QKeySequence(QStringLiteral("Meta+1"));
    EXPECT_EQ(metaOne, 1);
}

}  // namespace
}  // namespace dvk
