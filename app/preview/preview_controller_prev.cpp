// PreviewController: the previous-states list. Its last entry is the state on
// screen; the show-previous button flips to the one before.
#include "app/preview/preview_controller.h"

#include "pipeline/settings/settings_file.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

namespace {

const char* const kPrevInfoFields[] = {"infoR", "infoG", "infoB", "infoL", "infoa",
                                       "infob", "infoDR", "infoDG", "infoDB", "infoDL"};

}  // namespace

void PreviewController::updatePrev() {
    const SettingsDictionary settings = rp_.undoSettings();
    const long filterTag = hooks_.selectedFilterTag ? hooks_.selectedFilterTag() : 0;
    if (filterTag < 99 && !prev_.empty() && prev_.back().settings.same_contents(settings)) return;
    if (prev_.size() >= 2) prev_.erase(prev_.begin());
    PrevEntry entry;
    entry.settings = settings;
    // The image of these settings is the one just developed; it owns its
    // pixels, shared with the view while it is on show.
    entry.preview = latest_ ? latest_ : makeImageFromPreview();
    prev_.push_back(std::move(entry));
    updatePrevInfos();
    controls_.showPreviousEnabled = prev_.size() == 2;
    ui_->stateChanged();
}

void PreviewController::updatePrevInfos() {
    if (prev_.empty()) return;
    PrevEntry& last = prev_.back();
    last.histogram = histogramImage_;
    last.selectedRect = ui_->selectionRect();
    last.infos.clear();
    for (const char* name : kPrevInfoFields) last.infos[name] = controls_.infos[name];
}

void PreviewController::clearPrev() {
    prev_.clear();
    controls_.showPreviousEnabled = false;
}

void PreviewController::showPrevImage(bool on) {
    controls_.showPrevious = on;
    if (prev_.size() != 2) return;
    const PrevEntry& entry = on ? prev_[0] : prev_[1];
    if (on) {
        diagramImage_.clear();
        ui_->setDiagramImage(diagramImage_, {});
    }
    ui_->setSelectionRect(entry.selectedRect);
    shown_ = entry.preview;
    ui_->setImage(shown_);
    const SettingsDictionary settings = entry.settings;
    whenIdle([this, settings] {
        rp_.setUndoSettings(settings);
        const SettingsValue* profile = settings.find("customRawProfile");
        const std::string wanted = profile ? profile->description() : std::string();
        if (wanted != rp_.customRawProfile())
            setCustomCameraProfile(wanted.empty() ? "Default" : wanted);
    });
    histogramImage_ = entry.histogram;
    ui_->setHistogramImage(histogramImage_);
    for (const auto& [name, text] : entry.infos) controls_.infos[name] = text;
    if (!on && ui_->diagramWindowVisible()) drawDiagram();
    if (shown_ && controls_.showClipping != clippingStateForImage(shown_.get())) showClippingChanged();
    ui_->stateChanged();
}

}  // namespace dvk
