// The main window over a real raw file: shown developed and fitted, the
// histogram drawn, a control developing it again, typed values kept to their
// ranges, the wheel over a slider, a double-click, the set-up from scripted
// defaults.
#include <gtest/gtest.h>

#include <QtGui/QAction>
#include <QtGui/QWheelEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionSlider>

#include <cmath>
#include <set>

#include "app/ui/controls/cropping_image_view.h"
#include "app/ui/controls/image_view_no_drag.h"
#include "app/ui/windows/keyboard_helper_window.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/main_window/undo_keys.h"
#include "app/ui/controls/k_slider.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/text_field_scroller.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/setting_ranges.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"
#include "platform/qt/qt_platform.h"

namespace dvk {
namespace {

double meanLuminance(const QImage& img, QRect r) {
    double sum = 0;
    long n = 0;
    for (int y = r.top(); y <= r.bottom(); y += 2)
        for (int x = r.left(); x <= r.right(); x += 2) {
            const QRgb p = img.pixel(x, y);
            sum += 0.3 * qRed(p) + 0.59 * qGreen(p) + 0.11 * qBlue(p);
            ++n;
        }
    return n ? sum / n : 0;
}

int distinctColours(const QImage& img, QRect r) {
    std::set<QRgb> colours;
    for (int y = r.top(); y <= r.bottom(); y += 3)
        for (int x = r.left(); x <= r.right(); x += 3) colours.insert(img.pixel(x, y) & 0xF0F0F0);
    return static_cast<int>(colours.size());
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        installQtMainQueue();
        defaults = std::make_unique<UserDefaults>((dir / "defaults.plist").string());
        rp = std::make_unique<RawProcessor>();
        pc = std::make_unique<PreviewController>(*rp);
        window = std::make_unique<MainWindow>(*pc);
        window->awakeFromNib(*defaults);
        window->show();
    }
    void TearDown() override {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !pc->applyWorker().busy(); }, 120000));
        window.reset();
        pc.reset();
        QCoreApplication::processEvents();
        uninstallQtMainQueue();
    }
    void open(const std::string& path) {
        int result = -1;
        pc->openFileForPreview(path, [&](int r) { result = r; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return result != -1 && !pc->applyWorker().busy(); }, 120000));
        ASSERT_EQ(result, 0);
    }
    void settle() { ASSERT_TRUE(QTest::qWaitFor([&] { return !pc->applyWorker().busy(); }, 120000)); }

    test::TempDir dir;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<RawProcessor> rp;
    std::unique_ptr<PreviewController> pc;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ShowsTheChartDevelopedAndDevelopsAgainOnAChange) {
    pc->controls().histR = pc->controls().histG = pc->controls().histB = pc->controls().histL = true;
    open((test::testdata_dir() / "raw" / "colorchart.dng").string());
    // Fitted: the scroll area is no wider than the window's image part.
    EXPECT_TRUE(pc->controls().zoomToFit);
    EXPECT_FALSE(window->imageView()->image().isNull());
    EXPECT_FALSE(window->histogramView()->image().isNull());
    QImage grab = window->grabWindow();
    const QRect image = window->visibleImageRect();
    ASSERT_FALSE(image.isEmpty());
    EXPECT_GT(distinctColours(grab, image), 40);
    const double before = meanLuminance(grab, image);
    // The histogram has bars.
    const QImage hist = window->histogramView()->image();
    int lit = 0;
    for (int x = 0; x < 256; ++x) lit += qGray(hist.pixel(x, 100)) > 60;
    EXPECT_GT(lit, 20);

    // Two stops darker through the exposure field.
    auto* field = window->findChild<TextFieldScroller*>("exposureField");
    ASSERT_TRUE(field);
    field->setText("-2");
    emit field->valueEdited(-2.0);
    settle();
    EXPECT_EQ(rp->exposure(), -2.0);
    grab = window->grabWindow();
    EXPECT_LT(meanLuminance(grab, window->visibleImageRect()), before * 0.8);

    // Auto-apply off: the field changes the setting, "Apply" develops.
    pc->setDisableAutoApply(true);
    const unsigned long runs = pc->applyWorker().runs();
    emit field->valueEdited(0.0);
    settle();
    EXPECT_EQ(rp->exposure(), 0.0);
    EXPECT_EQ(pc->applyWorker().runs(), runs);
    window->applyButton()->click();
    settle();
    EXPECT_EQ(pc->applyWorker().runs(), runs + 1);

    // Double-click: one to one, the view at the image's size.
    pc->handleNotify({"doubleClick", {100, 100}});
    EXPECT_FALSE(pc->controls().zoomToFit);
    EXPECT_EQ(window->imageView()->size(), QSize(int(pc->width()), int(pc->height())));
    pc->handleNotify({"doubleClick", {100, 100}});
    EXPECT_TRUE(pc->controls().zoomToFit);
    if (qEnvironmentVariableIsSet("DVK_TEST_GRAB")) window->grabWindow().save(qEnvironmentVariable("DVK_TEST_GRAB"));
}

// A value typed beyond a setting's range is taken as the range's end and
// shown so; the wheel over a slider steps its setting (unless the preference
// turns the wheel off for values: then slider and field leave the event to
// the panel); a double-click switches the zoom and selects nothing.
TEST_F(MainWindowTest, TypedValuesKeepToTheRangesTheWheelStepsSlidersAndADoubleClickSelectsNothing) {
    open((test::testdata_dir() / "raw" / "colorchart.dng").string());
    const auto type = [&](const char* name, const char* text) {
        auto* field = window->findChild<TextFieldScroller*>(name);
        EXPECT_TRUE(field) << name;
        if (!field) return field;
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        settle();
        return field;
    };
    auto* localContrast = type("localContrastField", "1000000000");
    EXPECT_EQ(rp->localContrast(), 50.0);
    EXPECT_EQ(localContrast->text(), "50.0");
    EXPECT_EQ(window->findChild<KSlider*>("localContrast")->doubleValue(), 50.0);
    auto* red = type("evRed", "-99999");
    EXPECT_EQ(rp->evRed(), -10.0);
    EXPECT_EQ(red->text(), "-10.000");
    // A pop-up whose setting holds a code none of its items has shows none.
    pc->changeSetting("useCameraWB", SettingsValue(123456), "White balance");
    settle();
    EXPECT_EQ(rp->useCameraWB(), 9999);
    EXPECT_EQ(window->findChild<PopUpButtonScroller*>("useCameraWB")->currentIndex(), -1);

    auto* brightness = window->findChild<KSlider*>("brightness");
    auto* brightnessField = window->findChild<TextFieldScroller*>("brightnessField");
    ASSERT_TRUE(brightness && brightnessField);
    const auto wheel = [](QWidget* w) {
        QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &e);
        return e.isAccepted();
    };
    // This screen is too low for the whole panel: the wheel steps the
    // control with the focus (over any other the panel scrolls).
    brightness->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return brightness->hasFocus(); }, 2000));
    EXPECT_TRUE(wheel(brightness));
    settle();
    EXPECT_EQ(rp->brightness(), 51.0);
    EXPECT_EQ(brightness->doubleValue(), 51.0);
    EXPECT_EQ(brightnessField->text(), "51.0");
    defaults->setBool("DontMouseScrollValues", true);
    window->awakeFromNib(*defaults);
    EXPECT_FALSE(wheel(brightness));
    EXPECT_FALSE(wheel(brightnessField));
    settle();
    EXPECT_EQ(rp->brightness(), 51.0);

    // The double-click's second press, and its release where the switched
    // zoom has moved the image, leave the selection alone.
    const QImage histogram = window->histogramView()->image();
    CroppingImageView* view = window->imageView();
    const QPointF at = view->rect().center();
    const auto send = [&](QEvent::Type type, QPointF p) {
        QMouseEvent e(type, p, view->mapToGlobal(p), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    send(QEvent::MouseButtonPress, at);
    send(QEvent::MouseButtonRelease, at);
    send(QEvent::MouseButtonDblClick, at);
    ASSERT_FALSE(pc->controls().zoomToFit);
    send(QEvent::MouseMove, QPointF(view->width() - 2, view->height() - 2));
    send(QEvent::MouseButtonRelease, QPointF(view->width() - 2, view->height() - 2));
    settle();
    EXPECT_TRUE(window->selectionRect().isEmpty());
    EXPECT_TRUE(window->selectedImageRect().isEmpty());
    EXPECT_EQ(window->histogramView()->image(), histogram);
}

// Ctrl+Z undoes the settings, Ctrl+Shift+Z and Ctrl+Y redo them, wherever
// the focus is in the window: in the field just typed into (which keeps the
// focus after Enter), in a field still being typed into (its value is one
// step first), on a slider. Both redo keys on every desktop (the X11 keyboard
// scheme has no Ctrl+Y of its own), and Edit > Redo names both.
TEST_F(MainWindowTest, UndoAndRedoKeysActOnTheSettingsFromAFieldAndASlider) {
    open((test::testdata_dir() / "raw" / "colorchart.dng").string());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const double exposure = rp->exposure();
    auto* field = window->findChild<TextFieldScroller*>("exposureField");
    ASSERT_TRUE(field);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "3");
    QTest::keyClick(field, Qt::Key_Return);
    settle();
    ASSERT_EQ(rp->exposure(), 3.0);
    ASSERT_TRUE(field->hasFocus());
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    settle();
    EXPECT_EQ(rp->exposure(), exposure);
    EXPECT_EQ(field->value(), exposure);
    QTest::keyClick(field, Qt::Key_Y, Qt::ControlModifier);
    settle();
    EXPECT_EQ(rp->exposure(), 3.0);
    EXPECT_EQ(field->text(), "3.00");
    // Typed, no Enter: the edit ends as a step of its own, which the key undoes.
    field->selectAll();
    QTest::keyClicks(field, "1");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    settle();
    EXPECT_EQ(rp->exposure(), 3.0);
    EXPECT_EQ(field->text(), "3.00");

    auto* slider = window->findChild<KSlider*>("contrast");
    ASSERT_TRUE(slider);
    const double contrast = rp->contrast();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    settle();
    ASSERT_EQ(rp->contrast(), contrast + 1);
    ASSERT_TRUE(slider->hasFocus());
    QTest::keyClick(slider, Qt::Key_Z, Qt::ControlModifier);
    settle();
    EXPECT_EQ(rp->contrast(), contrast);
    EXPECT_EQ(slider->doubleValue(), contrast);
    QTest::keyClick(slider, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    EXPECT_EQ(rp->contrast(), contrast + 1);
    QTest::keyClick(slider, Qt::Key_Z, Qt::ControlModifier);
    settle();
    EXPECT_EQ(rp->contrast(), contrast);
    QTest::keyClick(slider, Qt::Key_Y, Qt::ControlModifier);
    settle();
    EXPECT_EQ(rp->contrast(), contrast + 1);

    const QKeySequence ctrlShiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), ctrlY(Qt::CTRL | Qt::Key_Y);
    EXPECT_EQ(redoShortcuts({ctrlShiftZ}), (QList<QKeySequence>{ctrlShiftZ, ctrlY}));
    auto* redo = window->findChild<QAction*>(QStringLiteral("redo:"));
    ASSERT_TRUE(redo);
    EXPECT_EQ(redo->text().toStdString(), "Redo\tCtrl+Shift+Z, Ctrl+Y");
    EXPECT_TRUE(redo->shortcuts().contains(ctrlY) && redo->shortcuts().contains(ctrlShiftZ));
    // QTest's release of a modifier leaves it held for the application: let go.
    QTest::keyRelease(slider, Qt::Key_Control, Qt::NoModifier);
}

// A click on a slider's groove sets the value at the point clicked, on the
// step grid from where it was: with the knob at the range's end, a click a
// quarter along the knob's travel, and then one three quarters along, give
// the values a quarter and three quarters into the range, within a step, for
// every slider of the panel. On the first slider each click also develops the
// preview once and is one step of the undo history (the others only change
// their setting, to keep the test short).
TEST_F(MainWindowTest, AClickOnASlidersGrooveSetsTheValueAtThePointClicked) {
    open((test::testdata_dir() / "raw" / "colorchart.dng").string());
    pc->changeSetting("curveType", SettingsValue(0), "Tone curve");  // the gamma slider takes clicks
    settle();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto click = [](QWidget* w, QPointF at) {
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        }
    };
    bool first = true;
    for (const char* key : {"exposure", "hlCompression", "hlRange", "evWarmCold", "highRecoveryEV", "blackShift",
                            "brightness", "contrast", "saturation", "localContrast", "sharpness", "noise", "gamma"}) {
        SCOPED_TRACE(key);
        auto* slider = window->findChild<KSlider*>(key);
        ASSERT_TRUE(slider && slider->isEnabled());
        const SettingRange* range = setting_range(key);
        ASSERT_TRUE(range);
        // The knob's travel as the style lays the slider out.
        QStyleOptionSlider opt;
        opt.initFrom(slider);
        opt.orientation = Qt::Horizontal;
        opt.minimum = slider->minimum();
        opt.maximum = slider->maximum();
        opt.sliderPosition = opt.sliderValue = slider->sliderPosition();
        opt.subControls = QStyle::SC_All;
        const QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, slider);
        const QRect knob = slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
        pc->changeSetting(key, SettingsValue(range->max), "");
        settle();
        for (const double t : {0.25, 0.75}) {
            const double before = rp->valueForKey(key).double_value();
            const unsigned long runs = pc->applyWorker().runs();
            click(slider, QPointF(groove.x() + knob.width() / 2.0 + t * (groove.width() - knob.width()),
                                  slider->height() / 2.0));
            settle();
            const double value = rp->valueForKey(key).double_value();
            EXPECT_NEAR(value, range->min + t * (range->max - range->min), slider->step() + 1e-9) << t;
            EXPECT_EQ(slider->doubleValue(), value);
            if (!first) continue;
            EXPECT_EQ(pc->applyWorker().runs(), runs + 1);
            pc->undo();
            settle();
            EXPECT_EQ(rp->valueForKey(key).double_value(), before) << t;
            pc->redo();
            settle();
            EXPECT_EQ(rp->valueForKey(key).double_value(), value) << t;
        }
        first = false;
        pc->setDisableAutoApply(true);
    }
}

TEST_F(MainWindowTest, SetUpFromTheDefaults) {
    // A first start shows the keyboard helper; the second does not.
    auto* helper = window->keyboardHelper();
    ASSERT_TRUE(helper);
    EXPECT_TRUE(helper->isVisible());
    helper->close();
    defaults->setBool("DarkMode", true);
    defaults->setDouble("GrayPoint", 18);
    window->awakeFromNib(*defaults);
    EXPECT_FALSE(helper->isVisible());
    EXPECT_EQ(window->appearance(), Appearance::Dark);
    EXPECT_EQ(pc->grayPoint(), 18.0f);
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 100);
    window->switchDarkLightMode(false);
    EXPECT_EQ(window->appearance(), Appearance::Light);
    EXPECT_FALSE(UserDefaults::standard().boolForKey("DarkMode"));
    EXPECT_EQ(window->saveButton()->text(), "Save");
    EXPECT_FALSE(window->saveButton()->isEnabled());
}

TEST_F(MainWindowTest, TheInfoPanelTakesTheHeightThePanelLeaves) {
    QPlainTextEdit* info = window->cameraInfoView();
    // A low window: the settings rows scroll, the info view keeps a few lines.
    window->resize(1100, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(info->height(), 86);
    // A tall one: the height the rows above leave is the info view's.
    window->resize(1100, 1500);
    QCoreApplication::processEvents();
    const int tall = info->height();
    window->resize(1100, 1700);
    QCoreApplication::processEvents();
    EXPECT_EQ(info->height() - tall, 200) << tall << " then " << info->height();
}

}  // namespace
}  // namespace dvk
