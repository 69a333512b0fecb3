// The "Profiles" menu, the filters and white-balance pop-ups and the preset
// window as the user meets them: the items appear for the open file, and
// choosing one reaches the open file's settings.
#include <lcms2.h>

#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/preview/preview_controller.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/main_window/profiles_menu.h"
#include "app/ui/main_window/wb_pop_up.h"
#include "pipeline/processor/raw_processor.h"
#include "tests/app/ui/panels/panels_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

void writeProfile(const fs::path& path) {
    fs::create_directories(path.parent_path());
    cmsHPROFILE h = cmsCreate_sRGBProfile();
    cmsSaveProfileToFile(h, path.c_str());
    cmsCloseProfile(h);
}

QStringList titles(const QMenu& menu) {
    QStringList out;
    for (QAction* a : menu.actions()) out << a->text();
    return out;
}

std::vector<std::pair<std::string, long>> items(const PopUpButtonScroller& p) {
    std::vector<std::pair<std::string, long>> out;
    for (const PopUpItem& i : p.items()) out.emplace_back(i.title, i.enabled ? i.tag : -1);
    return out;
}

int indexOfTag(const PopUpButtonScroller& p, long tag) { return p.findData(QVariant::fromValue<qlonglong>(tag)); }

void choose(PopUpButtonScroller& p, long tag) {
    const int i = indexOfTag(p, tag);
    ASSERT_GE(i, 0) << tag;
    p.setCurrentIndex(i);
    emit p.activated(i);
}

TEST_F(PanelsTest, ProfilesMenuFollowsTheOpenFileAndAChoiceDevelopsAgain) {
    writeProfile(dir / "support" / "Profiles" / "B.icc");
    writeProfile(dir / "support" / "Profiles" / "a.icm");
    EXPECT_EQ(menus->profilesMenu().menu(), nullptr);
    openChart();

    QMenu* menu = menus->profilesMenu().menu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> bar = window->menuBar()->actions();
    EXPECT_EQ(bar.indexOf(menu->menuAction()), std::min<int>(ProfilesMenu::kPosition, bar.size() - 1));
    EXPECT_EQ(titles(*menu), (QStringList{"Default", "Built-in", "", "a.icm", "B.icc"}));
    EXPECT_TRUE(menu->actions()[0]->isChecked());

    const unsigned long runs = controller->preview().applyWorker().runs();
    menu->actions()[4]->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->preview().applyWorker().runs() > runs; }, 60000));
    settle();
    EXPECT_EQ(rp().customRawProfile(), support() + "/Profiles/B.icc");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("colorchart.dng (B.icc)"));
    EXPECT_FALSE(menu->actions()[0]->isChecked());
    EXPECT_TRUE(menu->actions()[4]->isChecked());

    // A rebuild keeps the choice; a profile added meanwhile appears.
    writeProfile(dir / "support" / "Profiles" / "C.icc");
    menus->createProfileMenuAction()->trigger();
    menu = menus->profilesMenu().menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(titles(*menu).last(), QStringLiteral("C.icc"));
    EXPECT_TRUE(menu->actions()[4]->isChecked());
    EXPECT_EQ(rp().customRawProfile(), support() + "/Profiles/B.icc");
}

TEST_F(PanelsTest, PopUpsOfferTheGeneratedItemsAndAChoiceReachesTheSettings) {
    const fs::path root = dir / "looks";
    fs::create_directories(root);
    std::ofstream(root / "BetaRGBCustom.icc") << "x";
    std::ofstream(root / "film_uplab2lab.icc") << "x";
    controller->setFilterProfileRoot(root.string());
    openChart();
    // As at the window's set-up (and after every run).
    controller->updateFiltersButton();

    PopUpButtonScroller& filters = *window->filtersButton();
    const auto f = items(filters);
    ASSERT_GE(f.size(), 3u);
    EXPECT_EQ(f.front(), (std::pair<std::string, long>{"Color", 0}));
    EXPECT_EQ(f[f.size() - 2], (std::pair<std::string, long>{"Custom BetaRGB", 99}));
    EXPECT_EQ(f.back(), (std::pair<std::string, long>{"film_uplab2lab.icc", 2000}));
    EXPECT_EQ(rp().uplab2labProfiles(), std::vector<std::string>{"film_uplab2lab.icc"});
    choose(filters, 1);
    settle();
    EXPECT_EQ(rp().bwMode(), 1);
    // The refresh after the run keeps the items and shows the filter.
    EXPECT_EQ(items(filters), f);
    EXPECT_EQ(filters.selectedTag(), 1);

    PopUpButtonScroller& wb = *window->wbPopUp();
    const std::string camera = rp().camera();
    controller->initWbButton("WB_RGGBLevelsDaylight: 2000 1000 1000 1500\nWB_RGGBLevelsShade: 2400 1000 1000 1200\n");
    EXPECT_EQ(items(wb), (std::vector<std::pair<std::string, long>>{{"As Shot", 2},
                                                                    {"Auto", 1},
                                                                    {"Neutral", 3},
                                                                    {"Custom", 0},
                                                                    {"", -1},
                                                                    {camera, -1},
                                                                    {"Daylight", 5000},
                                                                    {"Shade", 5001}}));
    unsigned long runs = controller->preview().applyWorker().runs();
    choose(wb, 5001);
    settle();
    EXPECT_EQ(rp().useCameraWB(), 5001);
    EXPECT_FLOAT_EQ(static_cast<float>(rp().evRed()), std::log2(2.4f));
    EXPECT_FLOAT_EQ(static_cast<float>(rp().evBlue()), std::log2(1.2f));
    EXPECT_EQ(controller->preview().applyWorker().runs(), runs + 1);
    // "Custom" keeps the values: nothing to develop.
    runs = controller->preview().applyWorker().runs();
    choose(wb, 0);
    settle();
    EXPECT_EQ(rp().useCameraWB(), 0);
    EXPECT_FLOAT_EQ(static_cast<float>(rp().evRed()), std::log2(2.4f));
    EXPECT_EQ(controller->preview().applyWorker().runs(), runs);
}

TEST_F(PanelsTest, PresetWindowCreatesRefusesADuplicateAndTheMenuDeletes) {
    openChart();
    PopUpButtonScroller& wb = *window->wbPopUp();
    WbPresetWindow& presetWindow = menus->wbPresetWindow();
    ASSERT_TRUE(rp().wbPresets().empty());
    const auto typeAndPress = [&](const char* name, const char* button) {
        presetWindow.nameField()->setText(QString::fromLatin1(name));
        presetWindow.press(QString::fromLatin1(button));
    };

    QTimer::singleShot(0, &presetWindow, [&] { typeAndPress("Studio", "Ok"); });
    menus->createWbPresetAction()->trigger();
    EXPECT_FALSE(presetWindow.isVisible());
    EXPECT_EQ(presetWindow.windowTitle(), QStringLiteral("Create WB Preset"));
    ASSERT_EQ(rp().wbPresets().size(), 1u);
    const int tag = 1000;
    EXPECT_EQ(wb.selectedTag(), tag);
    const auto user = items(wb);
    EXPECT_EQ(user[5], (std::pair<std::string, long>{"User Defined", -1}));
    EXPECT_NE(std::find(user.begin(), user.end(), std::pair<std::string, long>{"Studio", tag}), user.end());
    std::ifstream file(support() + "/WBPresets.xml");
    const std::string xml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(xml.find("Studio"), std::string::npos);

    bool stayedOpen = false;
    QTimer::singleShot(0, &presetWindow, [&] {
        typeAndPress("Studio", "Ok");
        stayedOpen = presetWindow.isVisible();
        typeAndPress("", "Cancel");
    });
    menus->createWbPresetAction()->trigger();
    EXPECT_TRUE(stayedOpen);
    ASSERT_GE(alerts.count(), 1u);
    EXPECT_EQ(alerts.requests().back().text, "Preset with name \"Studio\" already exists");
    EXPECT_EQ(rp().wbPresets().size(), 1u);

    // Each item has a name of its own, as DVK_DEV_ACTIONS reaches it.
    EXPECT_EQ(menus->createWbPresetAction()->objectName(), QStringLiteral("showCreateWBPresetWindow:"));
    EXPECT_EQ(menus->deleteWbPresetAction()->objectName(), QStringLiteral("deleteWBPreset:"));
    ASSERT_TRUE(wb.selectTag(tag));
    alerts.answer("Yes");
    menus->deleteWbPresetAction()->trigger();
    EXPECT_EQ(alerts.requests().back().buttons, (std::vector<std::string>{"No", "Yes"}));
    EXPECT_TRUE(rp().wbPresets().empty());
    EXPECT_EQ(indexOfTag(wb, tag), -1);
    EXPECT_EQ(wb.findText(QStringLiteral("User Defined")), -1);
}

}  // namespace
}  // namespace dvk::test
