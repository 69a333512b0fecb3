// The profiling panel driven as a photographer drives it: opened from the
// menu over the chart, a reference chosen, patches dragged on the image,
// the TI3 saved and a profile made by a stand-in colprof; the log shows each
// step, the profile becomes the open file's, and closing gives the user's
// settings back.
#include "app/ui/windows/profiling_panel.h"

#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <filesystem>
#include <fstream>

#include "app/preview/preview_controller.h"
#include "app/ui/controls/cropping_image_view.h"
#include "app/ui/main_window/profiles_menu.h"
#include "pipeline/processor/raw_processor.h"
#include "tests/app/ui/panels/panels_fixture.h"
#include "tests/profiling/workflow_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

// Drags a rectangle of preview pixels on the image view.
void drag(CroppingImageView& view, double x, double y, double w, double h, unsigned width, unsigned height) {
    const RectD d = view.drawnRect();
    const auto at = [&](double px, double py) {
        return QPoint(static_cast<int>(d.x + px * d.width / width), static_cast<int>(d.y + py * d.height / height));
    };
    QTest::mousePress(&view, Qt::LeftButton, {}, at(x, y));
    QTest::mouseMove(&view, at(x + w, y + h));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, at(x + w, y + h));
}

TEST_F(PanelsTest, ProfilingPanelSamplesWritesTheTi3AndMakesTheProfileCurrent) {
    StandInColprof colprof(dir / "colprof");
    const std::string reference = (dir / "three.cie").string();
    std::ofstream(reference) << "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z\nEND_DATA_FORMAT\n"
                                "BEGIN_DATA\nA1 20 20 20\nA2 40 40 40\nA3 80 80 80\nEND_DATA\n";
    openChart();
    controller->preview().setSetting("saturation", SettingsValue(25.0));
    const int saveFormat = rp().saveFormat();

    ProfilingPanel& panel = menus->profilingPanel();
    menus->showProfilingWindowAction()->trigger();
    settle();
    ASSERT_TRUE(panel.isVisible());
    // A tool window of the main window, in front of it.
    EXPECT_EQ(panel.windowType(), Qt::Tool);
    EXPECT_EQ(panel.parentWidget(), window.get());
    EXPECT_EQ(rp().saveFormat(), 17);
    EXPECT_EQ(rp().saturation(), 0.0);

    QComboBox* references = panel.referencePopUp();
    const int other = references->count() - 1;
    panels->answerOpen({reference});
    references->setCurrentIndex(other);
    emit references->activated(other);
    EXPECT_TRUE(panel.logView()->toPlainText().contains(QString::fromStdString(reference)));
    QTest::mouseClick(panel.button(QStringLiteral("resetSampler")), Qt::LeftButton);
    EXPECT_EQ(panel.patchToSelectLabel()->text(), QStringLiteral("A1"));
    EXPECT_FALSE(panel.swatchLabel()->pixmap().isNull());

    const unsigned width = controller->preview().width(), height = controller->preview().height();
    for (int i = 0; i < 3; ++i) drag(*window->imageView(), 358 + 53 * i, 312, 20, 20, width, height);
    const QString log = panel.logView()->toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("A3\n     XYZ[  80.0000,  80.0000,  80.0000]"))) << log.toStdString();
    EXPECT_TRUE(log.endsWith(QStringLiteral("All patches are sampled.\n")));
    EXPECT_TRUE(panel.patchToSelectLabel()->text().isEmpty());

    const std::string ti3 = (dir / "chart.ti3").string();
    panels->answerSave(ti3);
    QTest::mouseClick(panel.button(QStringLiteral("saveTI3Button")), Qt::LeftButton);
    EXPECT_TRUE(panel.logView()->toPlainText().contains(QString::fromStdString("File " + ti3 + " written")));
    std::ifstream written(ti3);
    const std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("A3"), std::string::npos);

    const std::string profile = support() + "/Profiles/chart.icc";
    panels->answerSave(profile);
    QTest::mouseClick(panel.button(QStringLiteral("saveProfile")), Qt::LeftButton);
    settle();
    // The run started (its command line is in the log); it ends within its
    // own time limit, then its result comes to the main queue. Nothing is
    // waited for that may never come.
    ASSERT_TRUE(panel.logView()->toPlainText().contains(QStringLiteral("\ncolprof -v ")))
        << panel.logView()->toPlainText().toStdString();
    controller->profiling().waitForProfileRun();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->profiling().isProfileRunning(); }, 5000))
        << "the run's result never came";
    settle();
    EXPECT_TRUE(panel.logView()->toPlainText().contains(QStringLiteral("stand-in colprof on standard output")))
        << panel.logView()->toPlainText().toStdString();
    EXPECT_TRUE(panel.button(QStringLiteral("saveProfile"))->isEnabled());
    EXPECT_TRUE(fs::exists(profile));
    EXPECT_EQ(rp().customRawProfile(), profile);
    QMenu* menu = menus->profilesMenu().menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().last()->isChecked());
    EXPECT_EQ(menu->actions().last()->text(), QStringLiteral("chart.icc"));

    panel.close();
    settle();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_FALSE(controller->profilingPanelVisible());
    EXPECT_EQ(rp().saveFormat(), saveFormat);
    EXPECT_EQ(rp().saturation(), 25.0);
    EXPECT_EQ(rp().customRawProfile(), profile);
    EXPECT_TRUE(panel.logView()->toPlainText().isEmpty());
}

TEST_F(PanelsTest, OpeningAnotherFileClosesTheProfilingPanelFirst) {
    openChart();
    menus->showProfilingWindowAction()->trigger();
    settle();
    ASSERT_TRUE(menus->profilingPanel().isVisible());
    openChart();
    EXPECT_FALSE(menus->profilingPanel().isVisible());
    EXPECT_NE(rp().saveFormat(), 17);
}

}  // namespace
}  // namespace dvk::test
