// A PreviewController over a synthetic DNG, with a main queue the test drains
// itself (the test's thread is the main thread).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "app/preview/preview_controller.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/undo_manager.h"
#include "platform/dispatch.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk::test {

// What the window would show, recorded.
struct RecordingUi : PreviewUi {
    std::shared_ptr<DisplayImage> image;
    int images = 0, histograms = 0, zooms = 0, starts = 0, ends = 0;
    RectD selection;
    unsigned width = 0, height = 0;
    void setImage(const std::shared_ptr<DisplayImage>& i) override {
        image = i;
        ++images;
    }
    void setHistogramImage(const std::vector<std::uint8_t>&) override { ++histograms; }
    RectD selectionRect() const override { return selection; }
    void setSelectionRect(const RectD& r) override { selection = r; }
    void zoomToFitChanged() override { ++zooms; }
    void setImageSize(unsigned w, unsigned h) override { width = w, height = h; }
    void applyWillStart() override { ++starts; }
    void applyDidEnd() override { ++ends; }
};

// A fresh RawProcessor loaded with the fixture and developed as the preview
// road does; the image to compare with.
inline std::shared_ptr<DisplayImage> referencePreview(const std::string& path,
                                                      const std::function<void(RawProcessor&)>& settings) {
    RawProcessor r;
    if (r.initFloatPreviewFromRawFile(path) != 0) return nullptr;
    r.resetToDefaults(false);  // as an open without history
    settings(r);
    PreviewController pc(r);
    pc.showOpenedFile();  // orientation, reset, develop; shown inline on the main thread
    return pc.shownImage();
}

// The largest difference of two images' samples (65535 for different sizes).
// The colour conversions switch from the exact transform to its table once a
// transform has converted enough pixels, which moves samples by a few units:
// images of the same settings stay within kSameImage of each other, while a
// twentieth of a stop apart already differs by hundreds.
inline int maxDifference(const DisplayImage& a, const DisplayImage& b) {
    if (a.width != b.width || a.height != b.height) return 65535;
    int m = 0;
    for (std::size_t i = 0; i < std::size_t(a.width) * a.height * 3; ++i)
        m = std::max(m, std::abs(int(a.pixels.get()[i]) - int(b.pixels.get()[i])));
    return m;
}
inline constexpr int kSameImage = 48;

class PreviewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        markMainThread();
        setMainExecutor(queue.executor());
        DngSpec dng = gradient_dng(DngLayout::Bayer, 192, 128);
        path = (dir / "fixture.dng").string();
        std::string error;
        ASSERT_TRUE(write_dng(path, dng, &error)) << error;
        rp = std::make_unique<RawProcessor>();
        pc = std::make_unique<PreviewController>(*rp);
        pc->setUi(&ui);
        pc->hooks().modifierFlags = [this] { return modifiers; };
        rp->setUndoManager(pc->windowWillReturnUndoManager(PreviewController::WindowKind::Main));
        int result = -1;
        pc->openFileForPreview(path, [&](int r) { result = r; });
        settle();
        ASSERT_EQ(result, 0);
    }
    void TearDown() override {
        settle();
        pc.reset();
        queue.drain();
        setMainExecutor({});
    }
    // Runs the main queue until the worker is idle and nothing is queued.
    void settle() {
        for (int i = 0; i < 60000; ++i) {
            queue.drain();
            if (!pc || (!pc->applyWorker().busy() && queue.pending() == 0)) return;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        FAIL() << "the apply worker did not settle";
    }

    TempDir dir;
    std::string path;
    ManualMainQueue queue;
    RecordingUi ui;
    unsigned modifiers = 0;
    std::unique_ptr<RawProcessor> rp;
    std::unique_ptr<PreviewController> pc;
};

}  // namespace dvk::test
