// The controller's side of the menus and of the profiling panel, without a
// window: the menus follow the opened file into the views the window would
// set, the image view's selections measure patches while the panel is up,
// and the panel's close steps wait for a run of the apply worker.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/menus/filter_menu.h"
#include "app/preview/preview_controller.h"
#include "app/menus/wb_preset_menu.h"
#include "platform/dispatch.h"
#include "platform/panels.h"
#include "platform/user_defaults.h"
#include "profiling/profiling_workflow.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

struct Views : ProfileMenuView, FiltersButtonView, WbButtonView {
    std::optional<MenuItems> profiles;
    std::string checked, title;
    MenuItems filters, wb;
    int filter = -1, wbTag = 0;
    void setProfilesMenu(const MenuItems* items) override {
        profiles = items ? std::optional<MenuItems>(*items) : std::nullopt;
    }
    void checkProfileItem(const std::string& t) override { checked = t; }
    void setWindowTitle(const std::string& t) override { title = t; }
    void setGeneratedFilterItems(const MenuItems& items) override { filters = items; }
    void selectFilterTag(int tag) override { filter = tag; }
    long selectedFilterTag() const override { return filter; }
    void setGeneratedWbItems(const MenuItems& items) override { wb = items; }
    void selectWbTag(int tag) override { wbTag = tag; }
    int selectedWbTag() const override { return wbTag; }
};

struct SelectionUi : PreviewUi {
    RectD selection;
    RectD selectedImageRect() const override { return selection; }
};

class ControllerPanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        markMainThread();
        setMainExecutor(queue.executor());
        panels = std::make_shared<ScriptedPanels>();
        setPanelPresenter(panels);
        path = (dir / "acme.dng").string();
        std::string error;
        ASSERT_TRUE(write_dng(path, gradient_dng(DngLayout::Bayer, 192, 128), &error)) << error;
        defaults = std::make_unique<UserDefaults>((dir / "defaults.plist").string());
        ControllerOptions options;
        options.supportFolder = (dir / "support").string();
        options.defaults = defaults.get();
        controller = std::make_unique<Controller>(options);
        controller->preview().setUi(&ui);
        Controller::MenuViews v;
        v.profiles = &views;
        v.filters = &views;
        v.wb = &views;
        controller->setMenuViews(v);
        controller->setFilterProfileRoot((dir / "looks").string());
    }
    void TearDown() override {
        settle();
        controller.reset();
        queue.drain();
        setPanelPresenter(nullptr);
        setMainExecutor({});
    }
    void settle() {
        for (int i = 0; i < 60000; ++i) {
            queue.drain();
            if (!controller || (!controller->preview().applyWorker().busy() && queue.pending() == 0)) return;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        FAIL() << "the apply worker did not settle";
    }
    void open() {
        int result = -1;
        controller->openCommandLineFile(path, [&](int r) { result = r; });
        // The open road's thread comes back through the main queue.
        for (int i = 0; i < 60000 && result == -1; ++i) {
            queue.drain();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        settle();
        ASSERT_EQ(result, 0);
    }
    RawProcessor& rp() { return *controller->rawProcessor(); }

    TempDir dir;
    ManualMainQueue queue;
    std::shared_ptr<ScriptedPanels> panels;
    std::string path;
    std::unique_ptr<UserDefaults> defaults;
    Views views;
    SelectionUi ui;
    std::unique_ptr<Controller> controller;
};

TEST_F(ControllerPanelsTest, MenusFollowTheOpenedFile) {
    fs::create_directories(dir / "support" / "Profiles");
    std::ofstream(dir / "support" / "Profiles" / "a.icc") << "x";
    fs::create_directories(dir / "looks");
    std::ofstream(dir / "looks" / "x_uplab2lab.icc") << "x";
    open();
    ASSERT_TRUE(views.profiles);
    EXPECT_EQ(views.profiles->front().title, "Default");
    EXPECT_EQ(views.profiles->back().title, "a.icc");
    EXPECT_EQ(views.checked, "Default");

    // A run refreshes the filters' generated items and shows the filter.
    controller->preview().changeSetting("bwMode", SettingsValue(7), "Filter");
    settle();
    EXPECT_EQ(views.filters, (MenuItems{MenuItem::choice("x_uplab2lab.icc", 2000)}));
    EXPECT_EQ(views.filter, 7);
    EXPECT_EQ(controller->selectedFilterTag(), 7);

    // The vendor presets of an exiftool text, for the white-balance pop-up.
    controller->initWbButton("WB_RGGBLevelsA: 2000 1000 1000 1500\nWB_RGGBLevelsB: 1500 1000 1000 1500\n");
    queue.drain();
    ASSERT_EQ(views.wb.size(), 4u);
    EXPECT_EQ(views.wb[2], MenuItem::choice("A", 5000));
    EXPECT_EQ(rp().vendorsWBPresets().size(), 2u);
}

TEST_F(ControllerPanelsTest, SelectionsMeasurePatchesAndTheCloseWaitsForARun) {
    const std::string reference = (dir / "two.cie").string();
    std::ofstream(reference) << "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z\nEND_DATA_FORMAT\n"
                                "BEGIN_DATA\nP1 20 20 20\nP2 40 40 40\nEND_DATA\n";
    open();
    const int saveFormat = rp().saveFormat();
    EXPECT_FALSE(controller->profilingPanelVisible());
    // A selection without the panel measures nothing.
    ui.selection = {4, 4, 8, 8};
    controller->preview().handleNotify({"ImageSelectionChanged", {}});

    controller->showProfilingWindow();
    settle();
    ASSERT_TRUE(controller->profilingPanelVisible());
    EXPECT_EQ(rp().saveFormat(), 17);
    ProfilingWorkflow& w = controller->profiling();
    panels->answerOpen({reference});
    w.selectReferenceItem(static_cast<int>(w.referenceItems().size()) - 1);
    w.resetSampler();
    ASSERT_EQ(w.cieValues().size(), 2u);
    controller->preview().handleNotify({"ImageSelectionChanged", {}});
    EXPECT_EQ(w.patch(), 1);
    ASSERT_EQ(w.ti3Values().size(), 1u);
    EXPECT_EQ(w.ti3Values()[0].id, "P1");

    // With a run going the close steps wait for it, then give the settings back.
    controller->preview().runApplyInThread();
    ASSERT_TRUE(controller->preview().applyWorker().running());
    controller->closeProfilingPanelIfOpen();
    EXPECT_TRUE(controller->profilingPanelVisible());
    settle();
    EXPECT_FALSE(controller->profilingPanelVisible());
    EXPECT_EQ(rp().saveFormat(), saveFormat);
    EXPECT_TRUE(w.log().empty());
}

// The quit's side of the windows: the quit asked again.
struct QuitUi : ControllerUi {
    Controller* controller = nullptr;
    std::vector<TerminateReply> replies;
    void terminate() override { replies.push_back(controller->applicationShouldTerminate()); }
};

TEST_F(ControllerPanelsTest, QuittingDuringADevelopWaitsThenClosesThePanelBeforeTheRecord) {
    open();
    const int saveFormat = rp().saveFormat();
    QuitUi quit;
    quit.controller = controller.get();
    controller->setUi(&quit);
    controller->showProfilingWindow();
    settle();
    ASSERT_TRUE(controller->profilingPanelVisible());

    controller->preview().runApplyInThread();
    ASSERT_TRUE(controller->preview().applyWorker().running());
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Later);
    EXPECT_TRUE(controller->profilingPanelVisible());
    settle();
    // Asked again once the run ended: the panel closes first, so the settings
    // recorded at the quit are the user's.
    ASSERT_EQ(quit.replies.size(), 1u);
    EXPECT_EQ(quit.replies[0], TerminateReply::Now);
    EXPECT_FALSE(controller->profilingPanelVisible());
    std::vector<int> recorded;
    for (const HistoryMO& r : controller->persistentStoreCoordinator().fetchAll())
        if (r.comment() == "Action: Exit") recorded.push_back(r.valueForKey("saveFormat").int_value());
    EXPECT_EQ(recorded, std::vector<int>{saveFormat});
    controller->setUi(nullptr);
}

}  // namespace
}  // namespace dvk::test
