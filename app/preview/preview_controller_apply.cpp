// PreviewController: develop the preview and show it; apply: and the runs of
// the apply worker; rotation, automatic exposure, highlight recovery; the
// open road's steps after a load.
#include "app/preview/preview_controller.h"

#include "app/preview/preview_rules.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/undo_manager.h"
#include "pipeline/stages/four_channel_ops.h"
#include "platform/dispatch.h"
#include "platform/log.h"

namespace dvk {

// --- developing ----------------------------------------------------------------

std::shared_ptr<DisplayImage> PreviewController::developPreview() {
    float* image = rp_.image32();
    DVKLib* d = rp_.dvklib();
    if (!image || !d) return nullptr;
    const unsigned w = rp_.imageWidth(), h = rp_.imageHeight();
    if (rp_.cleanDotNoise()) {
        rp_.rgbgImageApplyBalance(image);
        clean_dot_noise(d, image, w, h);
        rp_.rgbgImageApplyCurve(image);
    } else {
        // Balance and curve in one pass: the same values.
        rp_.rgbgImageApplyBalanceAndCurve(image);
    }
    rp_.makePreview();
    return makeDisplayImage(rp_.preview(), w, h, rp_.raw() ? std::vector<std::uint8_t>() : outputProfileBytes());
}

void PreviewController::processPreview() {
    if (rp_.labOptimize()) rp_.setLabOptimize(0);
    std::shared_ptr<DisplayImage> image = developPreview();
    std::weak_ptr<int> alive = lifeToken_;
    runOnMainQueue([this, alive, image] {
        if (!alive.expired()) showPreview(image);
    });
}

void PreviewController::showPreview(const std::shared_ptr<DisplayImage>& image) {
    if (!image) return;
    latest_ = image;
    shown_ = image;
    setClippingState(false, image.get());
    ui_->setImage(image);
    histogramAndDiagram(ui_->selectedImageRect());
    if (controls_.showClipping) showClippingChanged();
}

std::shared_ptr<DisplayImage> PreviewController::makeImageFromPreview() {
    if (width_ == 0 || height_ == 0) return nullptr;
    return makeDisplayImage(rp_.preview(), width_, height_,
                            rp_.raw() ? std::vector<std::uint8_t>() : outputProfileBytes());
}

// --- apply ---------------------------------------------------------------------

void PreviewController::apply(const ApplySender& sender) {
    // What is loaded may change during an open run: decide after it.
    if (worker_->running() || (hooks_.rawProcessorInUse && hooks_.rawProcessorInUse())) {
        whenIdle([this, sender] { apply(sender); });
        return;
    }
    const bool loaded = rp_.isFileNameDefined() && rp_.image32();
    const bool engineImage = rp_.dvklib() && rp_.dvklib()->image_data();
    const ApplyPlan plan =
        planApply(loaded, engineImage, sender, disableAutoApply_, modifierFlags() & kAlternateKeyMask);
    if (plan.redrawDiagram) {
        if (ui_->diagramWindowVisible()) drawDiagram();
        return;
    }
    if (plan.selectFirstPreset && hooks_.selectFirstPreset) hooks_.selectFirstPreset();
    if (!plan.run) return;
    if (plan.resetToDefaults) {
        rp_.resetToDefaults(false);
        setCustomCameraProfile("Default");
    }
    // Requests that collapse into one run refresh the readouts once after it.
    if (applyTailQueued_) {
        runApplyInThread();
        return;
    }
    applyTailQueued_ = true;
    runApplyInThread([this] {
        applyTailQueued_ = false;
        updateInfoFromX(-1, -1, 0, 0);
        setProgressMT(100);
    });
}

void PreviewController::runApplyInThread(std::function<void()> after) {
    // No run while an open or a batch uses the processor on its thread (the
    // profiling panel's close steps ask for one during the open road).
    if (hooks_.rawProcessorInUse && hooks_.whenRawProcessorFree && hooks_.rawProcessorInUse()) {
        hooks_.whenRawProcessorFree([this, after = std::move(after)]() mutable { runApplyInThread(std::move(after)); });
        return;
    }
    worker_->request(std::move(after));
}

void PreviewController::applyBegin() {
    controls_.showPrevious = false;
    ui_->applyWillStart();
    setProgressMT(1);
    // The run announces the settings it sets itself (the decompression
    // points): no undo step may come of them, and the undo manager stays the
    // main thread's.
    heldUndoManager_ = rp_.undoManager();
    rp_.setUndoManager(nullptr);
    if (rp_.labOptimize()) rp_.setLabOptimize(0);
    if (hooks_.dropVanishedFilter) hooks_.dropVanishedFilter();
    runWasOpen_ = openPath_.has_value();
    hadWorkingImage_ = rp_.dvklib() && rp_.dvklib()->image_data();
    ui_->stateChanged();
}

void PreviewController::applyRun() {
    if (runWasOpen_) {
        openResult_ = rp_.initFloatPreviewFromRawFile(*openPath_);
        if (openResult_ != 0) return;
        // No history yet: the defaults, with the file's own white balance.
        rp_.resetToDefaults(false);
        std::tie(openedWidth_, openedHeight_) = orientLoadedImage();
    }
    rp_.rgbgImageReset();
    developed_ = developPreview();
}

void PreviewController::applyFinish() {
    rp_.setUndoManager(heldUndoManager_);
    heldUndoManager_.reset();
    std::shared_ptr<DisplayImage> image = std::move(developed_);
    developed_.reset();
    openPath_.reset();
    if (runWasOpen_) {
        if (openResult_ == 0) {
            width_ = openedWidth_;
            height_ = openedHeight_;
            showPreview(image);
            finishOpenedFile(openedWidth_, openedHeight_);
        } else {
            setProgressMT(0);
        }
        ui_->applyDidEnd();
        return;
    }
    showPreview(image);
    setProgressMT(ui_->progressMaximum());
    updatePrev();
    setProgressMT(0);
    if (hooks_.updateFiltersButton) hooks_.updateFiltersButton();
    ui_->applyDidEnd();
}

// --- rotation, exposure ----------------------------------------------------------

void PreviewController::rotate(bool left) {
    whenIdle([this, left] {
        DVKLib* d = rp_.dvklib();
        if (!d || !d->libraw || !d->image_data()) return;
        const int code = currentOrientation(rp_.rotation(), d->libraw->imgdata.sizes.flip);
        const int next = rotatedOrientation(code, left);
        flip_image(d, 1, left ? 5u : 6u);
        width_ = rp_.imageWidth();
        height_ = rp_.imageHeight();
        ui_->setImageSize(width_, height_);
        rp_.setRotation(next + 10);
        runApplyInThread([this] {
            clearPrev();
            setProgressMT(ui_->progressMaximum());
            updatePrev();
            setProgressMT(0);
            zoomToFitChanged();
        });
    });
}

void PreviewController::rotateImageLeft() { rotate(true); }
void PreviewController::rotateImageRight() { rotate(false); }

void PreviewController::setAutoExposure(bool optionHeld) {
    whenIdle([this, optionHeld] {
        const DVKLib* d = rp_.dvklib();
        if (!rp_.isFileNameDefined() || !d) return;
        const unsigned white = d->libraw ? d->libraw->imgdata.color.maximum : 0;
        const std::optional<double> e = autoExposure(d->chan_max, optionHeld, white, rp_.exposure());
        if (!e) return;
        rp_.setExposure(*e);
        runApplyInThread([this] { updateInfoFromX(-1, -1, 0, 0); });
    });
}

void PreviewController::enableHighlightRecovery(bool on) {
    if (on)
        whenIdle([this] {
            if (auto e = highlightRecoveryExposure(rp_.exposure(), rp_.evRed(), rp_.evGreen(), rp_.evBlue()))
                rp_.setExposure(*e);
        });
    apply(ApplySender::none());
}

// --- the open road's steps after a load ------------------------------------------

std::pair<unsigned, unsigned> PreviewController::orientLoadedImage() {
    DVKLib* d = rp_.dvklib();
    if (d && d->libraw && d->image_data()) {
        const int rotation = rp_.rotation();
        const unsigned flip = static_cast<unsigned>(d->libraw->imgdata.sizes.flip);
        if (rotation >= 11)
            flip_image(d, 1, static_cast<unsigned>(rotation - 10));
        else if (rotation < 10 && flip != 0)
            flip_image(d, 1, flip);
    }
    return {rp_.imageWidth(), rp_.imageHeight()};
}

void PreviewController::finishOpenedFile(unsigned width, unsigned height) {
    fileLoaded_ = true;
    width_ = width;
    height_ = height;
    ui_->setImageSize(width, height);
    controls_.zoomToFit = true;
    zoomToFitChanged();
    setProgressMT(ui_->progressMaximum());
    updatePrev();
    setProgressMT(0);
    ui_->anchorWindow();
    ui_->stateChanged();
}

void PreviewController::showOpenedFile() {
    const auto [w, h] = orientLoadedImage();
    rp_.rgbgImageReset();
    if (rp_.labOptimize()) rp_.setLabOptimize(0);
    std::shared_ptr<DisplayImage> image = developPreview();
    std::weak_ptr<int> alive = lifeToken_;
    // The new size first: the histogram and the diagram of the image read it.
    runOnMainQueue([this, alive, image, w = w, h = h] {
        if (alive.expired()) return;
        width_ = w;
        height_ = h;
        showPreview(image);
        finishOpenedFile(w, h);
    });
}

void PreviewController::resetForNewFile() {
    if (const std::shared_ptr<UndoManager>& undo = rp_.undoManager()) undo->removeAllActions();
    if (undoManager_) undoManager_->removeAllActions();
    ui_->setSelectionRect({});
    for (auto& [name, text] : controls_.infos) text.assign(1, '0');
    controls_.showPrevious = false;
    controls_.showPreviousEnabled = false;
    clearPrev();
    if (hooks_.selectFirstPreset) hooks_.selectFirstPreset();
    ui_->stateChanged();
}

void PreviewController::showNoFile() {
    fileLoaded_ = false;
    width_ = height_ = 0;
    shown_.reset();
    latest_.reset();
    clearPrev();
    histogramImage_.clear();
    diagramImage_.clear();
    ui_->setImage(nullptr);
    ui_->setHistogramImage({});
    ui_->setDiagramImage({}, {});
    controls_.showPrevious = false;
    controls_.showPreviousEnabled = false;
    ui_->stateChanged();
}

void PreviewController::openFileForPreview(const std::string& path, std::function<void(int)> done) {
    whenIdle([this, path, done = std::move(done)]() mutable {
        if (path != rp_.fileName()) {
            rp_.setDestinationFile("");
            rp_.setRotation(0);
        }
        openPath_ = path;
        runApplyInThread([this, done = std::move(done)] {
            if (done) done(openResult_);
        });
    });
}

}  // namespace dvk
