// PreviewController: clicks and selections on the image, the info panel's
// readouts and zones, zoom and the clipping display.
#include "app/preview/preview_controller.h"

#include <cmath>

#include "app/common/number_text.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

void PreviewController::handleNotify(const ImageViewNotification& n) {
    if (isBusy() || controls_.showPrevious) return;
    const unsigned mods = modifierFlags();
    if (n.name == "doubleClick") {
        controls_.zoomToFit = !controls_.zoomToFit;
        zoomToFitChanged();
        if (!controls_.zoomToFit) ui_->scrollImageTo(n.imagePoint);
        ui_->setSelectionRect({});
    } else if (n.name == "ImageSelectionChanged") {
        const RectD r = ui_->selectedImageRect();
        if (!r.isEmpty()) {
            const unsigned keys = mods & (kShiftKeyMask | kControlKeyMask | kAlternateKeyMask | kCommandKeyMask);
            if (keys == 0 && hooks_.profilingPanelVisible && hooks_.profilingPanelVisible()) {
                if (hooks_.targetSampling) hooks_.targetSampling(r);
            }
            if (mods & kCommandKeyMask)
                balanceFromRect(r);
            else if (mods & kControlKeyMask)
                readOutRect(r);
        }
        histogramAndDiagram(r);
    } else if (n.name == "cmdClick" || n.name == "cmdOptClick") {
        const int half = n.name == "cmdClick" ? 3 : 7;
        rp_.rgbgImageCalcBalanceAtPoint(n.imagePoint.x, n.imagePoint.y, static_cast<unsigned>(half));
        if (DVKLib* d = rp_.dvklib()) {
            d->view_picks[4] = static_cast<int>(n.imagePoint.x);
            d->view_picks[5] = static_cast<int>(n.imagePoint.y);
            d->view_picks[6] = half;
        }
        setWBToCustom();
        // The picked balance is developed at once, as any other change of it.
        apply(ApplySender::none());
    } else if (n.name == "ctrlClick") {
        updateInfoFromX(static_cast<int>(n.imagePoint.x), static_cast<int>(n.imagePoint.y), 1, 1);
    } else if (n.name == "ctrlOptClick") {
        updateInfoFromX(static_cast<int>(n.imagePoint.x), static_cast<int>(n.imagePoint.y), 3, 3);
    }
    updatePrevInfos();
    ui_->stateChanged();
}

void PreviewController::useSelection(bool whiteBalance) {
    if (isBusy() || controls_.showPrevious) return;
    const RectD r = ui_->selectedImageRect();
    if (r.isEmpty()) return;
    if (whiteBalance)
        balanceFromRect(r);
    else
        readOutRect(r);
    updatePrevInfos();
    ui_->stateChanged();
}

void PreviewController::balanceFromRect(const RectD& r) {
    rp_.rgbgImageCalcBalanceAtRect(r.x, r.y, r.width, r.height);
    setWBToCustom();
    apply(ApplySender::none());
}

void PreviewController::readOutRect(const RectD& r) {
    updateInfoFromX(static_cast<int>(r.x + r.width / 2), static_cast<int>(r.y + r.height / 2),
                    static_cast<int>(r.width / 2), static_cast<int>(r.height / 2));
}

void PreviewController::updateInfoFromX(int x, int y, int dx, int dy) {
    if (controls_.showPrevious) return;
    // The readout reads the preview buffers: during a run it waits for the
    // run's end.
    if (worker_->running()) {
        whenIdle([this, x, y, dx, dy] { updateInfoFromX(x, y, dx, dy); });
        return;
    }
    DVKLib* d = rp_.dvklib();
    if (d) {
        if (x == -1) {
            x = d->view_picks[0], y = d->view_picks[1], dx = d->view_picks[2], dy = d->view_picks[3];
        } else {
            d->view_picks[0] = x, d->view_picks[1] = y, d->view_picks[2] = dx, d->view_picks[3] = dy;
        }
    }
    if (x == -1 || y == -1) return;
    if (rp_.isFileNameDefined() && rp_.preview()) {
        ReadoutInput in;
        in.preview = rp_.preview();
        in.labPreview = rp_.labPreview();
        in.width = width_;
        in.height = height_;
        in.x = x, in.y = y, in.dx = dx, in.dy = dy;
        in.raw = rp_.raw() != 0;
        in.LScale = rp_.LScale();
        in.grayScale = rp_.grayScale();
        in.grayPoint = grayPoint_;
        const InfoReadout out = readOutArea(in);
        for (const auto& [name, text] : out.fields) controls_.infos[name] = text;
        controls_.zoneTitles = out.zoneTitles;
    }
    histogram(ui_->selectedImageRect());
    updatePrevInfos();
    ui_->stateChanged();
}

void PreviewController::deselectRect() {
    if (isBusy() || controls_.showPrevious) return;
    ui_->setSelectionRect({});
    histogramAndDiagram({});
    updatePrevInfos();
}

void PreviewController::clickZoneInfo(int zone) {
    if (zone < 0 || zone >= kZoneCount) return;
    if (!rp_.image32() || rp_.raw() || isBusy()) return;
    const bool shift = modifierFlags() & kShiftKeyMask;
    const std::string& title = controls_.zoneTitles[static_cast<std::size_t>(zone)];
    const std::string next = zone + 1 < kZoneCount ? controls_.zoneTitles[static_cast<std::size_t>(zone + 1)] : "";
    // The last zone reaches L* 99: its distance from the picked lightness.
    const float picked = evOfValue(rp_.LScale(), 1, static_cast<float>(leadingNumber(controls_.infos["infoL"])),
                                   grayPoint_);
    const float top = evOfValue(rp_.LScale(), 1, 99.0f, grayPoint_) - picked;
    const std::optional<float> compression =
        zoneClickCompression(static_cast<float>(rp_.hlCompression()), zone, title, next, shift, top);
    if (!compression) return;
    rp_.setHlCompression(*compression);
    runApplyInThread([this] { updateInfoFromX(-1, -1, 0, 0); });
}

void PreviewController::zoomToFitChanged() {
    if (!fileLoaded_) return;
    ui_->zoomToFitChanged();
    ui_->stateChanged();
}

void PreviewController::showClippingChanged() {
    if (!shown_) return;
    invertClippedSamples(*shown_);
    ui_->setImage(shown_);
    setClippingState(!clippingStateForImage(shown_.get()), shown_.get());
}

}  // namespace dvk
