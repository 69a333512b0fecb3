// The main window's delegate: arrow and page keys stepping bound fields, a
// field showing its setting again after editing, the window back at the
// corner the user gave it after an anchoring and after full screen, and the
// profiling panel's close steps.
#include <gtest/gtest.h>

#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtTest/QTest>

#include "app/ui/main_window/main_window.h"
#include "app/ui/main_window/main_window_delegate.h"
#include "app/ui/controls/text_field_scroller.h"
#include "app/window/window_placement.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/qt/qt_platform.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

class DelegateTest : public ::testing::Test {
protected:
    void SetUp() override {
        installQtMainQueue();
        rp = std::make_unique<RawProcessor>();
        pc = std::make_unique<PreviewController>(*rp);
        window = std::make_unique<MainWindow>(*pc);
        window->awakeFromNib(*defaults);
        delegate = std::make_unique<MainWindowDelegate>(*window);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !pc->applyWorker().busy(); }, 60000));
        delegate.reset();
        window.reset();
        pc.reset();
        QCoreApplication::processEvents();
        uninstallQtMainQueue();
    }
    double setting(const char* key) { return rp->valueForKey(key).double_value(); }

    test::TempDir dir;
    std::unique_ptr<UserDefaults> defaults = std::make_unique<UserDefaults>((dir / "defaults.plist").string());
    std::unique_ptr<RawProcessor> rp;
    std::unique_ptr<PreviewController> pc;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowDelegate> delegate;
};

TEST_F(DelegateTest, ArrowAndPageKeysStepTheBoundSettingByTheTag) {
    auto* red = window->findChild<TextFieldScroller*>("evRed");
    ASSERT_TRUE(red);
    red->setTag(5);  // "RBGGStep" 0.05
    red->setFocus();
    const float start = static_cast<float>(setting("evRed"));
    QTest::keyClick(red, Qt::Key_Up);
    EXPECT_NEAR(setting("evRed"), start + 0.05f, 1e-6);
    EXPECT_EQ(red->text().toDouble(), std::round((start + 0.05) * 1000) / 1000);
    QTest::keyClick(red, Qt::Key_PageDown);
    EXPECT_NEAR(setting("evRed"), start + 0.05f - 0.5f, 1e-6);
    QTest::keyClick(red, Qt::Key_Down);
    QTest::keyClick(red, Qt::Key_PageUp);
    EXPECT_NEAR(setting("evRed"), start + 0.05f - 0.5f - 0.05f + 0.5f, 1e-6);
    // With a modifier the keys are the field's own.
    const double before = setting("evRed");
    QTest::keyClick(red, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(setting("evRed"), before);
    // Without a tag the field is left alone.
    red->setTag(0);
    const QString shown = red->text();
    QTest::keyClick(red, Qt::Key_Up);
    QTest::keyClick(red, Qt::Key_PageDown);
    EXPECT_EQ(setting("evRed"), before);
    EXPECT_EQ(red->text(), shown);

    // A slider's field: exposure steps by its tag of 5 too, the slider follows.
    auto* exposure = window->findChild<TextFieldScroller*>("exposureField");
    ASSERT_TRUE(exposure);
    const double e = setting("exposure");
    QTest::keyClick(exposure, Qt::Key_PageUp);
    EXPECT_NEAR(setting("exposure"), e + 0.5, 1e-6);
}

TEST_F(DelegateTest, AFieldShowsItsSettingInTheSettingsFormWhenEditingEnds) {
    auto* exposure = window->findChild<TextFieldScroller*>("exposureField");
    ASSERT_TRUE(exposure);
    exposure->setFocus();
    // Text typed: the setting takes it, the field shows it in two decimals.
    exposure->selectAll();
    QTest::keyClicks(exposure, "1,5");
    QTest::keyClick(exposure, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return exposure->text() == QStringLiteral("1.50"); }, 5000))
        << exposure->text().toStdString();
    EXPECT_EQ(setting("exposure"), 1.5);
    // Text that is not the setting's (nothing was typed): the setting's back.
    exposure->setText(QStringLiteral("3"));
    QTest::keyClick(exposure, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return exposure->text() == QStringLiteral("1.50"); }, 5000))
        << exposure->text().toStdString();
    EXPECT_EQ(setting("exposure"), 1.5);
}

TEST_F(DelegateTest, AUserMoveIsKeptByTheAnchorAndAfterFullScreen) {
    const QRect free = window->screen()->availableGeometry();
    const auto cornerOf = [&] {
        const QRect f = window->frameGeometry();
        return QPoint(free.x() + free.width() - (f.x() + f.width()), f.y() - free.y());
    };
    // The user puts the window somewhere (the window system tells it); on
    // this 800 high screen it is as high as the screen, for its panel.
    const QPoint place(free.x() + 40, free.y());
    window->windowHandle()->setFramePosition(place);
    QCoreApplication::processEvents();
    ASSERT_EQ(window->frameGeometry().topLeft(), place);
    const QPoint corner = cornerOf();
    const char* key = cornerKeyForFrame(window->frameGeometry().width(), window->frameGeometry().height());
    const auto stored = parseCornerDistance(UserDefaults::standard().stringForKey(key));
    ASSERT_TRUE(stored);
    EXPECT_EQ(QPoint(int(stored->dx), int(stored->dy)), corner);

    // Anchored again (a new image's size), its frame is back at the place:
    // the corner is the frame's, decorations included.
    window->anchorFrameRect(window->geometry());
    EXPECT_EQ(window->frameGeometry().topLeft(), place);

    // Full screen and back: at its corner again, wherever the program had
    // put it before.
    window->setGeometry(QRect(free.topLeft() + QPoint(100, 20), window->size()));
    ASSERT_NE(cornerOf(), corner);
    window->showFullScreen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isFullScreen(); }, 5000));
    window->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return cornerOf() == corner; }, 5000))
        << cornerOf().x() << ", " << cornerOf().y();
}

TEST_F(DelegateTest, TheProfilingPanelsCloseStepsRunOnceWhileItIsVisible) {
    QWidget panel;
    int steps = 0;
    delegate->setProfilingPanel(&panel, [&] { ++steps; });
    panel.show();
    panel.close();
    EXPECT_EQ(steps, 1);
    panel.close();  // hidden already
    EXPECT_EQ(steps, 1);
    window->close();  // another window
    EXPECT_EQ(steps, 1);
    panel.show();
    panel.close();
    EXPECT_EQ(steps, 2);
}

}  // namespace
}  // namespace dvk
