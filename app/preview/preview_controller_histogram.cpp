// PreviewController: the histogram and the gamut diagram, and the diagram's
// second profile.
#include "app/preview/preview_controller.h"


#include "app/preview/gamut_diagram.h"
#include "app/preview/histogram.h"
#include "app/preview/preview_census.h"
#include "app/common/number_text.h"
#include "pipeline/settings/settings_file.h"
#include "colour/profile.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/log.h"
#include "platform/regular_file.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

// The histogram's and the diagram's image: the preview's pixels (RGB and
// CIELab), its size, the region of it and whether it is raw.
template <class Input>
void setPreviewPixels(Input& in, RawProcessor& rp, unsigned width, unsigned height, const RectD& rect) {
    in.preview = rp.preview();
    in.labPreview = rp.labPreview();
    in.width = width;
    in.height = height;
    in.rect = rect;
    in.raw = rp.raw() != 0;
}

}  // namespace

std::optional<HistogramInput> PreviewController::histogramInput(const RectD& rect) {
    if (height_ == 0 || controls_.showPrevious || !rp_.preview() || worker_->running()) return std::nullopt;
    HistogramInput in;
    setPreviewPixels(in, rp_, width_, height_, rect);
    in.histR = controls_.histR, in.histG = controls_.histG, in.histB = controls_.histB, in.histL = controls_.histL;
    in.markerR = static_cast<int>(leadingNumber(controls_.infos["infoR"]));
    in.markerG = static_cast<int>(leadingNumber(controls_.infos["infoG"]));
    in.markerB = static_cast<int>(leadingNumber(controls_.infos["infoB"]));
    in.markerL = leadingNumber(controls_.infos["infoL"]);
    rp_.fillGrayScale();
    in.grayScale = rp_.grayScale();
    in.grayPoint = grayPoint_;
    return in;
}

void PreviewController::showHistogram(std::vector<std::uint8_t> image) {
    histogramImage_ = std::move(image);
    ui_->setHistogramImage(histogramImage_);
    controls_.zBoxVisible = true;
    ui_->stateChanged();
}

std::optional<DiagramInput> PreviewController::diagramInput(const RectD& rect) {
    if (!ui_->diagramWindowVisible() || controls_.showPrevious || worker_->running()) return std::nullopt;
    DiagramInput in;
    setPreviewPixels(in, rp_, width_, height_, rect);
    in.labOutput = rp_.saveFormat() == 2;
    in.gamutArr = rp_.gamutArr();
    in.diagGamutArr = diagGamutArr_.empty() ? nullptr : diagGamutArr_.data();
    in.fullGamut = controls_.fullGamut;
    in.diagramL = controls_.diagramL;
    return in;
}

void PreviewController::showDiagram(std::vector<std::uint8_t> image) {
    diagramImage_ = std::move(image);
    ui_->setDiagramImage(diagramImage_, outputProfileBytes());
}

void PreviewController::histogram(const RectD& rect) {
    if (const std::optional<HistogramInput> in = histogramInput(rect)) showHistogram(renderHistogram(*in));
}

void PreviewController::diagram(const RectD& rect) {
    if (const std::optional<DiagramInput> in = diagramInput(rect)) showDiagram(renderDiagram(*in));
}

void PreviewController::histogramAndDiagram(const RectD& rect) {
    const std::optional<HistogramInput> h = histogramInput(rect);
    const std::optional<DiagramInput> d = diagramInput(rect);
    if (h && d) {
        HistogramAndDiagram both = renderHistogramAndDiagram(*h, *d);
        showHistogram(std::move(both.histogram));
        showDiagram(std::move(both.diagram));
    } else if (h) {
        showHistogram(renderHistogram(*h));
    } else if (d) {
        showDiagram(renderDiagram(*d));
    }
}

void PreviewController::drawHistogram() {
    if (rp_.isFileNameDefined() && !controls_.showPrevious) histogram(ui_->selectedImageRect());
}

void PreviewController::drawDiagram(const std::string& senderTitle) {
    if (controls_.showPrevious) return;
    if (senderTitle == "ChD" && ui_->diagramWindowVisible()) {
        ui_->closeDiagramWindow();
        return;
    }
    ui_->showDiagramWindow();
    ui_->stateChanged();
    diagram(ui_->selectedImageRect());
}

void PreviewController::setDiagramProfile(bool optionHeld) {
    if (optionHeld) {
        diagGamutArr_.clear();
        diagramProfile_.reset();
        controls_.diagramProfileLabel = "None";
        controls_.diagramProfileToolTip = "No profile set";
        UserDefaults::standard().removeKey("DiagramProfile");
        UserDefaults::standard().synchronize();
    } else {
        if (!hooks_.chooseProfileFile) return;
        const std::optional<std::string> path = hooks_.chooseProfileFile(diagramProfile_);
        if (!path) return;
        prepareDiagramProfileFromPath(*path);
    }
    drawDiagram();
}

void PreviewController::prepareDiagramProfileFromPath(const std::string& path) {
    // Only a regular file of a sane size, with the reason when it is not.
    const RegularFileRead file = read_regular_file(path, kProfileFileMaxBytes);
    std::string error = file ? std::string() : file.error;
    std::shared_ptr<const Profile> profile;
    if (file && !file.bytes->empty())
        profile = Profile::from_bytes(reinterpret_cast<const std::uint8_t*>(file.bytes->data()), file.bytes->size(),
                                      &error);
    if (!profile) log_line("Error with profile %s:%s", path.c_str(), error.c_str());
    diagGamutArr_.clear();
    std::vector<std::uint8_t> gamut;
    if (profile) gamut = gamutOfProfile(profile, &error);
    if (gamut.empty()) {
        log_line("Bad gamut view profiles %s %s", path.c_str(), error.c_str());
        diagramProfile_.reset();
        controls_.diagramProfileLabel = "Error";
        controls_.diagramProfileToolTip = path;
        UserDefaults::standard().removeKey("DiagramProfile");
        UserDefaults::standard().synchronize();
        ui_->stateChanged();
        return;
    }
    diagGamutArr_ = std::move(gamut);
    diagramProfile_ = path;
    std::string name = last_path_component(path);
    if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
    controls_.diagramProfileLabel = name;
    controls_.diagramProfileToolTip = path;
    UserDefaults::standard().setString("DiagramProfile", path);
    UserDefaults::standard().synchronize();
    ui_->stateChanged();
}

}  // namespace dvk
