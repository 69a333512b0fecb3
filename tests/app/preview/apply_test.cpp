// Preview and apply on a synthetic DNG: the one worker, collapsing requests,
// the previous states, rotation, exposure rules, resets and the auto-apply
// switch; the bounded wait for a develop at quit.
#include "tests/app/preview/preview_fixture.h"

#include <atomic>
#include <cmath>

namespace dvk::test {
namespace {

using PreviewApply = PreviewFixture;

TEST_F(PreviewApply, OpenShowsTheDevelopedFileFitted) {
    ASSERT_TRUE(ui.image);
    EXPECT_EQ(ui.width, rp->imageWidth());
    EXPECT_EQ(pc->width(), rp->imageWidth());
    EXPECT_TRUE(pc->controls().zoomToFit);
    EXPECT_GE(ui.zooms, 1);
    EXPECT_EQ(pc->prev().size(), 1u);
    EXPECT_GE(ui.histograms, 1);
    const auto ref = referencePreview(path, [](RawProcessor&) {});
    ASSERT_TRUE(ref);
    EXPECT_LE(maxDifference(*ui.image, *ref), kSameImage);
    // A file that cannot be loaded answers the loader's code and shows nothing new.
    int result = 0;
    const auto before = ui.image;
    pc->openFileForPreview((dir / "missing.dng").string(), [&](int r) { result = r; });
    settle();
    EXPECT_NE(result, 0);
    EXPECT_EQ(ui.image, before);
}

TEST_F(PreviewApply, QuickChangesEndInTheImageOfTheLastSettings) {
    const unsigned long runsBefore = pc->applyWorker().runs();
    double last = 0;
    for (int i = 0; i < 50; ++i) {
        last = -2.0 + 0.05 * i;
        pc->changeSetting("exposure", SettingsValue(last), "Exposure");
        queue.drain();  // the event loop turns between changes, never waiting
    }
    settle();
    const unsigned long runs = pc->applyWorker().runs() - runsBefore;
    EXPECT_GE(runs, 1u);
    EXPECT_LT(runs, 50u);
    EXPECT_EQ(rp->exposure(), last);
    const auto ref = referencePreview(path, [&](RawProcessor& r) { r.setExposure(last); });
    const auto before = referencePreview(path, [&](RawProcessor& r) { r.setExposure(last - 0.05); });
    ASSERT_TRUE(ref && before && pc->shownImage());
    EXPECT_LE(maxDifference(*pc->shownImage(), *ref), kSameImage);
    EXPECT_GT(maxDifference(*before, *ref), 8 * kSameImage);
    EXPECT_EQ(ui.starts, ui.ends);
    // Every change is its own undo step, made in order.
    ASSERT_TRUE(rp->undoManager());
    EXPECT_EQ(rp->undoManager()->undoActionName(), "Exposure");
    EXPECT_GE(rp->undoManager()->undoCount(), 50u);
}

TEST_F(PreviewApply, PreviousStates) {
    ASSERT_EQ(pc->prev().size(), 1u);
    // Identical settings push nothing.
    pc->apply(ApplySender::control("Apply"));
    settle();
    EXPECT_EQ(pc->prev().size(), 1u);
    EXPECT_FALSE(pc->controls().showPreviousEnabled);
    pc->changeSetting("exposure", SettingsValue(1.0), "Exposure");
    settle();
    ASSERT_EQ(pc->prev().size(), 2u);
    EXPECT_TRUE(pc->controls().showPreviousEnabled);
    const auto first = pc->prev()[0].preview;
    pc->changeSetting("exposure", SettingsValue(0.0), "Exposure");
    settle();
    // A third rendering drops the oldest; changing back is a new entry.
    ASSERT_EQ(pc->prev().size(), 2u);
    EXPECT_NE(pc->prev()[0].preview, first);
    EXPECT_EQ(pc->prev()[0].settings.get("exposure"), SettingsValue(1.0));
    // Showing the previous state: its image, histogram and settings.
    pc->controls().infos["infoR"] = "1.0";
    pc->updatePrevInfos();
    pc->showPrevImage(true);
    settle();
    EXPECT_EQ(ui.image, pc->prev()[0].preview);
    EXPECT_EQ(rp->exposure(), 1.0);
    pc->showPrevImage(false);
    settle();
    EXPECT_EQ(ui.image, pc->prev()[1].preview);
    EXPECT_EQ(rp->exposure(), 0.0);
    EXPECT_EQ(pc->controls().infos["infoR"], "1.0");
    // A new run switches the button off.
    pc->showPrevImage(true);
    pc->apply(ApplySender::control("Apply"));
    settle();
    EXPECT_FALSE(pc->controls().showPrevious);
}

TEST_F(PreviewApply, RotationTurnsTheImageAndComesBack) {
    const unsigned w = pc->width(), h = pc->height();
    pc->rotateImageLeft();
    settle();
    EXPECT_EQ(rp->rotation(), 15);
    EXPECT_EQ(pc->width(), h);
    EXPECT_EQ(pc->height(), w);
    EXPECT_EQ(ui.image->width, h);
    EXPECT_EQ(pc->prev().size(), 1u);  // cleared, then this rendering
    const auto turned = ui.image;
    for (int i = 0; i < 3; ++i) pc->rotateImageLeft();
    settle();
    EXPECT_EQ(rp->rotation(), 10);
    EXPECT_EQ(pc->width(), w);
    pc->rotateImageLeft();
    pc->rotateImageRight();
    settle();
    EXPECT_EQ(rp->rotation(), 10);
    const auto ref = referencePreview(path, [](RawProcessor&) {});
    EXPECT_LE(maxDifference(*ui.image, *ref), kSameImage);
    EXPECT_EQ(maxDifference(*turned, *ref), 65535);
}

TEST_F(PreviewApply, HighlightRecoveryAndAutomaticExposure) {
    rp->setEvRed(0.5);
    rp->setEvGreen(0.0);
    rp->setEvBlue(-0.5);
    rp->setExposure(0.0);
    pc->enableHighlightRecovery(true);
    settle();
    EXPECT_NEAR(rp->exposure(), -1.005, 1e-6);
    rp->setExposure(-2.0);
    pc->enableHighlightRecovery(true);
    settle();
    EXPECT_EQ(rp->exposure(), -2.0);
    pc->setAutoExposure(false);
    settle();
    const float m = rp->dvklib()->chan_max[1];
    ASSERT_GT(m, 0.0f);
    EXPECT_EQ(rp->exposure(), static_cast<double>(-std::log2(m)));
}

TEST_F(PreviewApply, ResetsAndTheAutoApplySwitch) {
    pc->changeSetting("exposure", SettingsValue(1.0), "Exposure");
    settle();
    // Option on any other control: no reset.
    modifiers = kAlternateKeyMask;
    pc->apply(ApplySender::control("Exposure"));
    settle();
    EXPECT_EQ(rp->exposure(), 1.0);
    pc->apply(ApplySender::control("Apply"));
    settle();
    EXPECT_EQ(rp->exposure(), 0.0);
    modifiers = 0;
    // Auto-apply off: the setting changes, nothing is developed until "Apply".
    pc->setDisableAutoApply(true);
    const unsigned long runs = pc->applyWorker().runs();
    pc->changeSetting("exposure", SettingsValue(-1.0), "Exposure");
    settle();
    EXPECT_EQ(rp->exposure(), -1.0);
    EXPECT_EQ(pc->applyWorker().runs(), runs);
    pc->apply(ApplySender::control("Apply"));
    settle();
    EXPECT_EQ(pc->applyWorker().runs(), runs + 1);
}

TEST_F(PreviewApply, ClicksPickAndReadOut) {
    // A readout before any point was picked changes nothing.
    pc->updateInfoFromX(-1, -1, 0, 0);
    EXPECT_EQ(pc->controls().infos["infoX"], "0");
    pc->handleNotify({"ctrlClick", {10.7, 20.2}});
    EXPECT_EQ(pc->controls().infos["infoX"], "10");
    EXPECT_EQ(pc->controls().infos["infoY"], "20");
    EXPECT_NE(pc->controls().infos["infoR"], "0");
    EXPECT_FALSE(pc->controls().zoneTitles[5].empty());
    EXPECT_EQ(rp->dvklib()->view_picks[2], 1);
    // A Command click takes the white balance there (manual mode) and develops again.
    const double red = rp->evRed();
    rp->setEvRed(red + 1.0);
    const unsigned long runs = pc->applyWorker().runs();
    pc->handleNotify({"cmdClick", {40, 30}});
    settle();
    EXPECT_EQ(rp->useCameraWB(), 0);
    EXPECT_NE(rp->evRed(), red + 1.0);
    EXPECT_EQ(rp->dvklib()->view_picks[6], 3);
    EXPECT_EQ(pc->applyWorker().runs(), runs + 1);
    // Clipping twice restores the image on show.
    const std::vector<std::uint16_t> before(ui.image->pixels.get(),
                                            ui.image->pixels.get() + ui.image->width * ui.image->height * 3);
    pc->showClippingChanged();
    EXPECT_TRUE(pc->clippingStateForImage(ui.image.get()));
    pc->showClippingChanged();
    EXPECT_FALSE(pc->clippingStateForImage(ui.image.get()));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), ui.image->pixels.get()));
}

// At quit the wait for a develop is bounded: a run that does not end is left
// to the process's end instead of holding it.
TEST(ApplyWorkerAtQuit, TheWaitForARunIsBounded) {
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    std::atomic<bool> started{false}, release{false};
    {
        ApplyWorker worker({}, [&] {
            started = true;
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }, {});
        EXPECT_TRUE(worker.waitForRunToEnd(std::chrono::milliseconds(0)));  // idle
        worker.request();
        while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto before = std::chrono::steady_clock::now();
        EXPECT_FALSE(worker.waitForRunToEnd(std::chrono::milliseconds(50)));
        EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));
        release = true;
        EXPECT_TRUE(worker.waitForRunToEnd(std::chrono::seconds(20)));
    }
    queue.drain();
    setMainExecutor({});
}

}  // namespace
}  // namespace dvk::test
