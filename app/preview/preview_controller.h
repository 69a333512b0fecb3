// PreviewController: the controller's side of the main window. It turns the
// settings of the RawProcessor on screen into the image the window shows
// (preview and apply), reacts to what the user does on that image (picks,
// readouts, zoom, clipping), and draws the histogram and the gamut diagram.
// Operations keep the names of the controller's methods; the class is
// defined over several files, one per concern:
//   preview_controller.cpp             construction, state, clipping states, undo
//   preview_controller_apply.cpp       processPreview, apply:, runApplyInThread:, rotation,
//                                      automatic exposure, highlight recovery, the opened file's steps
//   preview_controller_prev.cpp        the previous-states list (updatePrev, showPrevImage:, ...)
//   preview_controller_image_view.cpp  handleNotify:, updateInfoFromX:..., deselectRect:, clickZoneInfo:,
//                                      showClippingChanged:
//   preview_controller_histogram.cpp   histogram:, diagram:, drawHistogram:, drawDiagram:,
//                                      setDiagramProfile:, prepareDiagramProfileFromPath:
//
// Threads. Everything here runs on the main thread except the develop step of
// a run, which runs on the apply worker (one thread, owned here). While the
// worker runs (applyWorker().running()), the main thread leaves the
// RawProcessor alone: changes it wants to make go through whenIdle(), which
// makes them at once when the worker is idle, else right after the run, and
// readouts that would read its buffers wait for the run's end, which
// refreshes them anyway. The window's controls change settings through
// changeSetting().
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/preview/apply_worker.h"
#include "app/preview/display_image.h"
#include "app/window/geometry.h"
#include "app/window/info_readout.h"
#include "app/preview/preview_rules.h"
#include "pipeline/settings/settings_value.h"
#include "platform/modifier_keys.h"

namespace dvk {

class RawProcessor;
class UndoManager;
struct HistogramInput;
struct DiagramInput;

// What the preview road asks of the main window (main thread). The defaults
// do nothing, as a controller without a window (tests, tools) needs.
class PreviewUi {
public:
    virtual ~PreviewUi() = default;
    // Shows `image` in the image view (null: none); called again after the
    // image's samples changed in place (the clipping display).
    virtual void setImage(const std::shared_ptr<DisplayImage>& image) {}
    // The selection in preview pixels (the zero rectangle without one).
    virtual RectD selectedImageRect() const { return {}; }
    // The selection marker's rectangle in view coordinates, and setting it.
    virtual RectD selectionRect() const { return {}; }
    virtual void setSelectionRect(const RectD& rect) {}
    virtual void setHistogramImage(const std::vector<std::uint8_t>& rgb) {}
    virtual void setDiagramImage(const std::vector<std::uint8_t>& rgb, const std::vector<std::uint8_t>& profile) {}
    virtual bool diagramWindowVisible() const { return false; }
    virtual void showDiagramWindow() {}
    virtual void closeDiagramWindow() {}
    // The controller's state (controls(), labels) changed: show it.
    virtual void stateChanged() {}
    // A run starts: remember the focused field. It ended: bring the window
    // to the front and give the focus back.
    virtual void applyWillStart() {}
    virtual void applyDidEnd() {}
    // zoomToFitChanged: the window's size and the image view for the state
    // of controls().zoomToFit.
    virtual void zoomToFitChanged() {}
    // Scroll the one-to-one view so that this preview pixel is in the middle.
    virtual void scrollImageTo(PointD imagePoint) {}
    // setWidth:andHeight: of the image view.
    virtual void setImageSize(unsigned width, unsigned height) {}
    // Re-anchors the main window's frame (anchorFrameRect: of its frame).
    virtual void anchorWindow() {}
    // The progress indicator's maximum.
    virtual double progressMaximum() const { return 100; }
};

// Calls into other parts of the controller (menus, presets, profiling, the
// panels); each may stay empty.
struct PreviewHooks {
    // setProgressMT: (empty: the RawProcessor's progress, on the main queue).
    std::function<void(double)> setProgressMT;
    // updateFiltersButton (the filters pop-up) and its selected tag.
    std::function<void()> updateFiltersButton;
    // Before each run: a filter whose profile file is gone gives way to none.
    std::function<void()> dropVanishedFilter;
    std::function<long()> selectedFilterTag;
    // setCustomCameraProfile: with a profile name, a file name or "Default"
    // (empty: the RawProcessor's setCustomRawProfile).
    std::function<void(const std::string&)> setCustomCameraProfile;
    // Selects the first item of the presets pop-up.
    std::function<void()> selectFirstPreset;
    // setWBToCustom: (empty: white-balance mode 0).
    std::function<void()> setWBToCustom;
    // The profiling panel: whether it is visible, and its targetSampling:.
    std::function<bool()> profilingPanelVisible;
    std::function<void(const RectD&)> targetSampling;
    // An open panel for one file, starting at a path; nothing when cancelled.
    std::function<std::optional<std::string>(const std::optional<std::string>& startAt)> chooseProfileFile;
    // The modifier keys now (empty: currentModifierFlags()).
    std::function<unsigned()> modifierFlags;
    // Whether an open or a batch uses the RawProcessor on its own thread, and
    // running a task on the main thread once none does. While one does,
    // apply: and the changes made through whenIdle wait for it.
    std::function<bool()> rawProcessorInUse;
    std::function<void(std::function<void()>)> whenRawProcessorFree;
};

// States of the window's buttons and fields that the roads read and write.
struct WindowControls {
    bool zoomToFit = true;
    bool showClipping = false;
    bool showPrevious = false;
    bool showPreviousEnabled = false;
    bool histR = false, histG = false, histB = false, histL = false;
    bool fullGamut = false;
    double diagramL = 50;
    bool zBoxVisible = false;
    // The readout fields by name ("infoX" .. "infoDL"), and the zone titles.
    std::map<std::string, std::string> infos;
    std::array<std::string, kZoneCount> zoneTitles;
    // The second profile of the diagram: its label and tooltip.
    std::string diagramProfileLabel = "None";
    std::string diagramProfileToolTip = "No profile set";
};

// One entry of the previous-states list.
struct PrevEntry {
    SettingsDictionary settings;
    std::shared_ptr<DisplayImage> preview;
    std::vector<std::uint8_t> histogram;
    RectD selectedRect;
    std::map<std::string, std::string> infos;
};

// The click and selection notifications of the image view.
struct ImageViewNotification {
    std::string name;      // "doubleClick", "cmdClick", ..., "ImageSelectionChanged"
    PointD imagePoint;     // the preview pixel clicked (clickedImagePoint)
};

class PreviewController {
public:
    PreviewController(RawProcessor& rawProcessor, PreviewHooks hooks = {});
    ~PreviewController();
    PreviewController(const PreviewController&) = delete;
    PreviewController& operator=(const PreviewController&) = delete;

    void setUi(PreviewUi* ui) { ui_ = ui; }
    PreviewUi* ui() const { return ui_; }
    PreviewHooks& hooks() { return hooks_; }
    RawProcessor& rawProcessor() { return rp_; }
    ApplyWorker& applyWorker() { return *worker_; }

    // --- state -------------------------------------------------------------
    WindowControls& controls() { return controls_; }
    unsigned width() const { return width_; }
    unsigned height() const { return height_; }
    void setWidthAndHeight(unsigned width, unsigned height) { width_ = width, height_ = height; }
    bool disableAutoApply() const { return disableAutoApply_; }
    void setDisableAutoApply(bool v) { disableAutoApply_ = v; }
    float grayPoint() const { return grayPoint_; }
    void setGrayPoint(float v) { grayPoint_ = v; }
    // Whether a file is open and shown (kept on the main thread: the worker
    // may be loading another meanwhile).
    bool fileLoaded() const { return fileLoaded_; }
    // Whether the engine holds a working image (while the worker runs: as
    // when it started).
    bool hasWorkingImage() const;
    // The image on screen and the latest developed one.
    const std::shared_ptr<DisplayImage>& shownImage() const { return shown_; }

    // Runs `task` now when the worker is idle, else right after its run (and
    // after the open or batch that uses the RawProcessor, see PreviewHooks).
    void whenIdle(std::function<void()> task);
    // A control changed a setting: the value is set through key-value coding
    // (when the worker is idle), then the control's action runs (apply: with
    // its title unless `action` says otherwise).
    void changeSetting(const std::string& key, const SettingsValue& value, const std::string& controlTitle);
    // The value set through key-value coding when the worker is idle, nothing more.
    void setSetting(const std::string& key, const SettingsValue& value);

    // The undo manager of a window (windowWillReturnUndoManager:): one for
    // the main window (and for none), made on first use.
    enum class WindowKind { None, Main, History, Other };
    std::shared_ptr<UndoManager> windowWillReturnUndoManager(WindowKind window);
    // Undo and redo of settings changes, made when the worker is idle, then applied.
    void undo();
    void redo();

    // Clipping display per image.
    bool clippingStateForImage(const DisplayImage* image);
    void setClippingState(bool state, const DisplayImage* image);

    // --- preview and apply (preview_controller_apply.cpp) ---------------------
    // Develops the preview on the calling thread (the caller owns the
    // RawProcessor) and shows it on the main queue.
    void processPreview();
    // The developed preview as a new image of its own (null for no size).
    std::shared_ptr<DisplayImage> makeImageFromPreview();
    void apply(const ApplySender& sender);
    // Develops again on the worker: the run starts now, or after the run
    // that is going (requests meanwhile make one run), or after the open or
    // batch that uses the processor. `after` runs once the run's image is shown.
    void runApplyInThread(std::function<void()> after = {});
    void rotateImageLeft();
    void rotateImageRight();
    void setAutoExposure(bool optionHeld);
    void enableHighlightRecovery(bool on);
    // The open road's steps after a successful load (the caller owns the
    // RawProcessor, on any thread): orientation of the loaded image, reset,
    // processPreview, zoom to fit, updatePrev, the image view's size and the
    // window's anchor. The window steps run on the main queue.
    void showOpenedFile();
    // The open road's window reset for a file other than the one open before
    // (main thread): undo actions gone, no selection, readouts 0, the
    // previous states cleared, show-previous off and disabled, the first preset.
    void resetForNewFile();
    // No file open any more (main thread): no image, histogram or diagram.
    void showNoFile();
    // Loads `path` for the preview on the worker (initFloatPreviewFromRawFile,
    // rotation and destination reset, the default settings with the file's
    // automatic white balance) and shows it as showOpenedFile does;
    // `done` gets the loader's result on the main thread (0: shown).
    void openFileForPreview(const std::string& path, std::function<void(int)> done = {});

    // --- previous states (preview_controller_prev.cpp) -------------------------
    void updatePrev();
    void updatePrevInfos();
    void clearPrev();
    void showPrevImage(bool on);
    const std::vector<PrevEntry>& prev() const { return prev_; }

    // --- image view and info panel (preview_controller_image_view.cpp) ---------
    void handleNotify(const ImageViewNotification& n);
    // What a Command-drag (white balance from the area) or a Control-drag
    // (its readout) does with the selection on show, asked from a menu: the
    // road for desktops whose window manager takes those drags.
    void useSelection(bool whiteBalance);
    void updateInfoFromX(int x, int y, int dx, int dy);
    void deselectRect();
    void clickZoneInfo(int zone);
    void zoomToFitChanged();
    void showClippingChanged();

    // --- histogram and diagram (preview_controller_histogram.cpp) ---------------
    void histogram(const RectD& rect);
    void diagram(const RectD& rect);
    // Both, from one walk over the pixels.
    void histogramAndDiagram(const RectD& rect);
    void drawHistogram();
    // `senderTitle` "ChD" (the diagram button) closes a visible window.
    void drawDiagram(const std::string& senderTitle = {});
    void setDiagramProfile(bool optionHeld);
    void prepareDiagramProfileFromPath(const std::string& path);
    const std::optional<std::string>& diagramProfile() const { return diagramProfile_; }
    const std::vector<std::uint8_t>& histogramImage() const { return histogramImage_; }
    const std::vector<std::uint8_t>& diagramImage() const { return diagramImage_; }

private:
    // What the histogram and the diagram draw of a region, when they are drawn.
    std::optional<HistogramInput> histogramInput(const RectD& rect);
    std::optional<DiagramInput> diagramInput(const RectD& rect);
    void showHistogram(std::vector<std::uint8_t> image);
    void showDiagram(std::vector<std::uint8_t> image);

    // The develop step of a run (worker thread): reset, then the preview.
    void applyRun();
    // The main-thread ends of a run.
    void applyBegin();
    void applyFinish();
    // processPreview steps 1 to 6 on the calling thread.
    std::shared_ptr<DisplayImage> developPreview();
    // processPreview step 7 (main thread).
    void showPreview(const std::shared_ptr<DisplayImage>& image);
    void setProgressMT(double value);
    unsigned modifierFlags() const;
    bool isBusy() const;
    void rotate(bool left);
    // The open road's step of orientation: the loaded image turned as the
    // file (or the user's rotation) asks; answers the preview's new size.
    std::pair<unsigned, unsigned> orientLoadedImage();
    // The open road's window steps after the preview of a newly opened file.
    void finishOpenedFile(unsigned width, unsigned height);
    void setWBToCustom();
    // The white balance of an area of the preview, and its readout.
    void balanceFromRect(const RectD& r);
    void readOutRect(const RectD& r);
    void setCustomCameraProfile(const std::string& name);
    std::vector<std::uint8_t> outputProfileBytes() const;

    RawProcessor& rp_;
    PreviewHooks hooks_;
    PreviewUi defaultUi_;
    PreviewUi* ui_ = &defaultUi_;
    WindowControls controls_;
    unsigned width_ = 0, height_ = 0;
    bool disableAutoApply_ = false;
    float grayPoint_ = 12.5f;
    std::shared_ptr<DisplayImage> shown_, latest_;
    std::shared_ptr<DisplayImage> developed_;  // written by the worker, taken by applyFinish
    std::vector<PrevEntry> prev_;
    std::map<std::uint64_t, bool> clippingStates_;
    std::optional<std::string> diagramProfile_;
    std::vector<std::uint8_t> diagGamutArr_;
    std::vector<std::uint8_t> histogramImage_, diagramImage_;
    std::shared_ptr<UndoManager> undoManager_;
    std::shared_ptr<UndoManager> heldUndoManager_;  // the processor's, while a run goes
    // The next run opens this file first (set while the worker is idle).
    std::optional<std::string> openPath_;
    // What the worker's open found: the loader's result and the image size.
    int openResult_ = 0;
    unsigned openedWidth_ = 0, openedHeight_ = 0;
    bool runWasOpen_ = false;
    bool fileLoaded_ = false;
    bool applyTailQueued_ = false;
    bool hadWorkingImage_ = false;
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
    std::unique_ptr<ApplyWorker> worker_;
};

}  // namespace dvk
