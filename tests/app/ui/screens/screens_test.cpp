// The main window on a 1600 x 1000 and a 1280 x 720 screen: the empty window
// and the keyboard helper wholly on the screen, side by side; secondary
// windows placed again, clear of the menus and the panel, as the window
// grows (to a file's size, maximised); the chart's
// window showing every row of its panel on the big screen, and scrolling the
// panel under the wheel on the small one.
#include <gtest/gtest.h>

#include <QtGui/QScreen>
#include <QtGui/QWheelEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtGui/QAbstractTextDocumentLayout>
#include <QtGui/QTextDocument>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QScrollBar>

#include "app/ui/controls/k_slider.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/text_field_scroller.h"
#include "app/ui/controls/wheel_steps.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/windows/diagram_window.h"
#include "app/ui/windows/keyboard_helper_window.h"
#include "app/ui/windows/secondary_window.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/qt/qt_platform.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

QScreen* screenNamed(const char* name) {
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == QLatin1String(name)) return s;
    return nullptr;
}

class Screens : public ::testing::Test {
protected:
    void SetUp() override { installQtMainQueue(); }
    void TearDown() override {
        if (pc) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !pc->applyWorker().busy(); }, 120000));
        }
        window.reset();
        pc.reset();
        QCoreApplication::processEvents();
        uninstallQtMainQueue();
    }
    // The window set up on `screen` (at a first start: the keyboard helper too).
    void start(QScreen* screen) {
        ASSERT_TRUE(screen);
        window.reset();
        pc.reset();
        rp.reset();
        free = screen->availableGeometry();
        defaults = std::make_unique<UserDefaults>((dir / "defaults.plist").string());
        rp = std::make_unique<RawProcessor>();
        pc = std::make_unique<PreviewController>(*rp);
        window = std::make_unique<MainWindow>(*pc);
        window->setScreen(screen);
        window->move(free.topLeft());
        window->awakeFromNib(*defaults);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void open(const std::string& path) {
        int result = -1;
        pc->openFileForPreview(path, [&](int r) { result = r; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return result != -1 && !pc->applyWorker().busy(); }, 120000));
        ASSERT_EQ(result, 0);
        QTest::qWait(300);
    }
    QScrollArea* settings() const { return window->findChild<QScrollArea*>(QStringLiteral("settingsScrollArea")); }
    std::string chart() const { return (test::testdata_dir() / "raw" / "colorchart.dng").string(); }

    test::TempDir dir;
    QRect free;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<RawProcessor> rp;
    std::unique_ptr<PreviewController> pc;
    std::unique_ptr<MainWindow> window;
};

TEST_F(Screens, TheEmptyWindowAndTheHelperAreWhollyOnEachScreen) {
    for (const char* name : {"big", "small"}) {
        SCOPED_TRACE(name);
        start(screenNamed(name));
        // Asked 256 wide, it takes 320: placed with that width, its frame's
        // right edge on the screen's.
        EXPECT_EQ(window->width(), 320);
        const auto where = [&] {
            const QRect f = window->frameGeometry();
            return std::to_string(f.x()) + ", " + std::to_string(f.y()) + " " + std::to_string(f.width()) + " x " +
                   std::to_string(f.height());
        };
        EXPECT_TRUE(free.contains(window->frameGeometry())) << where();
        EXPECT_EQ(window->frameGeometry().right(), free.right());
        // The first start's helper: on the screen, beside the window.
        auto* helper = window->keyboardHelper();
        ASSERT_TRUE(helper && helper->isVisible());
        EXPECT_TRUE(free.contains(helper->frameGeometry()));
        EXPECT_FALSE(helper->frameGeometry().intersects(window->frameGeometry()));
        // The menus the shell adds later widen the window until each shows
        // on the bar (none behind an overflow button); still wholly on it.
        for (const char* title : {"Settings", "History", "Tools", "Help"}) window->menuBar()->addMenu(title);
        QTest::qWait(50);
        for (QAction* a : window->menuBar()->actions()) {
            const QRect item = window->menuBar()->actionGeometry(a);
            EXPECT_TRUE(!item.isEmpty() && window->menuBar()->rect().contains(item)) << a->text().toStdString();
        }
        EXPECT_TRUE(free.contains(window->frameGeometry())) << where();
        // The empty frame again (after a batch, whose buttons' row came and
        // went, or the last file trashed), from a corner the user left
        // further right: the size of an empty start, still wholly on it.
        const QSize emptySize = window->frameGeometry().size();
        window->showBatchButtons(true);
        QTest::qWait(50);
        window->showBatchButtons(false);
        window->setTopRightPoints({-40, 0}, {-40, 0});
        window->anchorFrameRect(QRect(window->geometry().topLeft(), QSize(256, 720)));
        EXPECT_EQ(window->frameGeometry().size(), emptySize) << where();
        EXPECT_TRUE(free.contains(window->frameGeometry())) << where();
        EXPECT_LE(window->frameGeometry().bottom(), free.bottom());
        helper->close();
        // The next screen's window starts as the first start again.
        defaults->setBool("KeyboardHelper", false);
        defaults->synchronize();
    }
}

TEST_F(Screens, TheChartShowsEveryRowOfThePanelOnTheBigScreenDuringABatchToo) {
    start(screenNamed("big"));
    open(chart());
    EXPECT_TRUE(free.contains(window->frameGeometry()));
    QScrollArea* area = settings();
    ASSERT_TRUE(area);
    const auto everyRowShows = [&] {
        QCoreApplication::processEvents();
        // Nothing to scroll: every control of the panel lies inside its view.
        EXPECT_EQ(area->verticalScrollBar()->maximum(), 0);
        const QRect view(area->viewport()->mapTo(window.get(), QPoint(0, 0)), area->viewport()->size());
        int controls = 0;
        for (QWidget* w : area->widget()->findChildren<QWidget*>()) {
            if (!w->isVisible()) continue;
            ++controls;
            const QRect r(w->mapTo(window.get(), QPoint(0, 0)), w->size());
            EXPECT_TRUE(view.contains(r)) << w->objectName().toStdString() << " at " << r.x() << ", " << r.y();
        }
        EXPECT_GT(controls, 40);
        // The last row drawn: its switch's title in dark pixels on the grab.
        auto* last = window->findChild<QCheckBox*>(QStringLiteral("highRecoveryGuessTone"));
        ASSERT_TRUE(last);
        const QImage grab = window->grabWindow();
        const double s = window->grabScale();
        const QRect r(last->mapTo(window.get(), QPoint(0, 0)) * s, last->size() * s);
        ASSERT_TRUE(grab.rect().contains(r));
        int ink = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left() + r.width() / 3; x <= r.right(); ++x) ink += qGray(grab.pixel(x, y)) < 100;
        EXPECT_GT(ink, 20);
    };
    everyRowShows();
    // A batch: its Cancel and Postpone row shows, within the window, and
    // every row above still does; its word on quitting wraps in the info view.
    window->showBatchButtons(true);
    window->setCameraInfo("You may also Quit DVK now (Ctrl+Q). You'll have an option to continue this batch after "
                          "next DVK launch.");
    everyRowShows();
    const QRect inside(QPoint(0, 0), window->size());
    for (QWidget* b : {static_cast<QWidget*>(window->cancelButton()), static_cast<QWidget*>(window->postponeButton())})
        EXPECT_TRUE(b->isVisible() && inside.contains(QRect(b->mapTo(window.get(), QPoint(0, 0)), b->size())));
    QPlainTextEdit* info = window->cameraInfoView();
    EXPECT_EQ(info->horizontalScrollBar()->maximum(), 0);
    EXPECT_GE(info->document()->documentLayout()->documentSize().height(), 3);  // lines, wrapped
    EXPECT_EQ(info->verticalScrollBar()->maximum(), 0);  // and all of them in view
    window->showBatchButtons(false);
    everyRowShows();
}

// Every pop-up of the panel shows each of its items whole when it is the
// chosen one (the editors' "Don't open", the tone curve's "Gamma, RGB
// uncompressed", ...) at the window's size on the big screen.
TEST_F(Screens, EveryPopUpShowsItsChosenItemWhole) {
    start(screenNamed("big"));
    open(chart());
    // The editors pop-up as the controller fills it.
    PopUpButtonScroller* editors = window->extEditorsButton();
    editors->addTaggedItem(QStringLiteral("Don't open"), 0);
    editors->addTaggedItem(QStringLiteral("Open in GIMP"), 1);
    int popUps = 0;
    for (PopUpButtonScroller* p : window->findChildren<PopUpButtonScroller*>()) {
        if (!p->isVisible()) continue;
        ++popUps;
        const int kept = p->currentIndex();
        const std::vector<PopUpItem> items = p->items();
        for (int i = 0; i < int(items.size()); ++i) {
            if (!items[std::size_t(i)].enabled) continue;
            {
                const QSignalBlocker quiet(p);
                p->setCurrentIndex(i);
            }
            EXPECT_TRUE(p->showsWholeTitle()) << p->objectName().toStdString() << ": " << items[std::size_t(i)].title
                                              << " in " << p->width();
        }
        const QSignalBlocker quiet(p);
        p->setCurrentIndex(kept);
    }
    EXPECT_EQ(popUps, 7);

}

// Over the chart's window there is no room beside it: a secondary window
// opens over the image, below the menu bar, on either screen.
TEST_F(Screens, ASecondaryWindowOverTheMainWindowLeavesItsMenuBarClear) {
    for (const char* name : {"big", "small"}) {
        SCOPED_TRACE(name);
        start(screenNamed(name));
        KeyboardHelperWindow* helper = window->keyboardHelper();
        helper->close();
        helper->setProperty("dvkShownBefore", false);
        open(chart());
        openSecondaryWindow(*helper, window.get());
        QTest::qWait(50);
        const QWidget* bar = window->menuWidget();
        const QRect barRect(bar->mapToGlobal(QPoint(0, 0)), bar->size());
        EXPECT_FALSE(helper->frameGeometry().intersects(barRect));
        EXPECT_FALSE(helper->frameGeometry().intersects(window->frameGeometry().adjusted(0, 0, 0, -window->height())));
        EXPECT_TRUE(free.contains(helper->frameGeometry()));
        helper->close();
        defaults->setBool("KeyboardHelper", false);
        defaults->synchronize();
    }
}

// The first start's helper and the gamut diagram opened beside the empty
// window; a file makes the window grow to the left over where they were:
// both are placed again, beside it and apart, clear of its menus and panel.
TEST_F(Screens, SecondaryWindowsKeepClearOfTheMenusAndPanelWhenTheWindowGrows) {
    start(screenNamed("big"));
    QWidget* helper = window->keyboardHelper();
    QWidget* diagram = window->diagramWindow();
    window->showDiagramWindow();
    QTest::qWait(50);
    const auto where = [](const QWidget* w) {
        const QRect f = w->frameGeometry();
        return w->windowTitle().toStdString() + " at " + std::to_string(f.x()) + ", " + std::to_string(f.y()) + " " +
               std::to_string(f.width()) + " x " + std::to_string(f.height());
    };
    const auto clear = [&](bool besideIt) {
        QCoreApplication::processEvents();
        const QRect frame = window->frameGeometry();
        const QWidget* bar = window->menuWidget();
        const QRect band(frame.topLeft(), QPoint(frame.right(), bar->mapToGlobal(QPoint(0, bar->height() - 1)).y()));
        const QWidget* panel = window->findChild<QWidget*>(QStringLiteral("sidePanel"));
        ASSERT_TRUE(panel);
        const QRect panelRect(panel->mapToGlobal(QPoint(0, 0)), panel->size());
        for (const QWidget* w : {helper, diagram}) {
            ASSERT_TRUE(w->isVisible());
            EXPECT_FALSE(w->frameGeometry().intersects(band)) << where(w) << ", window " << where(window.get());
            EXPECT_FALSE(w->frameGeometry().intersects(panelRect)) << where(w);
            if (besideIt) {
                EXPECT_FALSE(w->frameGeometry().intersects(frame)) << where(w) << ", " << where(window.get());
            }
            EXPECT_TRUE(free.contains(w->frameGeometry())) << where(w);
        }
        EXPECT_FALSE(helper->frameGeometry().intersects(diagram->frameGeometry()))
            << where(helper) << ", " << where(diagram);
    };
    clear(true);
    const QRect emptyFrame = window->frameGeometry();
    open(chart());
    ASSERT_LT(window->frameGeometry().left(), emptyFrame.left() - 300) << where(window.get());
    clear(true);
    // No room beside the maximised window: over its image, below its menus.
    window->maximise();
    QTest::qWait(100);
    clear(false);
    helper->close();
    diagram->close();
    defaults->setBool("KeyboardHelper", false);
    defaults->synchronize();
}

TEST_F(Screens, OnTheSmallScreenThePanelScrollsUnderTheWheel) {
    start(screenNamed("small"));
    open(chart());
    EXPECT_TRUE(free.contains(window->frameGeometry()));
    QScrollBar* bar = settings()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    auto* field = window->findChild<TextFieldScroller*>(QStringLiteral("contrastField"));
    ASSERT_TRUE(field);
    auto* slider = window->findChild<KSlider*>(QStringLiteral("saturation"));
    ASSERT_TRUE(slider);
    // The wheel over a control: whether the control took it.
    const auto wheel = [&](QWidget* control, int angle) {
        QWheelEvent e(QPointF(5, 5), control->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(control, &e);
        return e.isAccepted();
    };
    // Without the focus a field or a slider leaves the wheel (the window
    // system hands it on to the panel, which scrolls), its setting unchanged.
    const double contrast = rp->contrast(), saturation = rp->saturation();
    ASSERT_FALSE(field->hasFocus());
    EXPECT_TRUE(wheelScrollsPanel(field));
    EXPECT_FALSE(wheel(field, -120));
    EXPECT_FALSE(wheel(slider, -120));
    QWheelEvent onPanel(QPointF(5, 5), settings()->viewport()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(settings()->viewport(), &onPanel);
    EXPECT_GT(bar->value(), 0);
    QTest::qWait(100);
    EXPECT_EQ(rp->contrast(), contrast);
    EXPECT_EQ(rp->saturation(), saturation);
    // With the focus, the wheel steps the field.
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));
    EXPECT_FALSE(wheelScrollsPanel(field));
    EXPECT_TRUE(wheel(field, 120));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rp->contrast() == contrast + 1; }, 5000)) << rp->contrast();
}

}  // namespace
}  // namespace dvk
