// The camera-profiling workflow: a photographed colour target is sampled on the
// developed preview against its reference file, written as a TI3 measurement
// file, made into a camera input profile by Argyll's `colprof` and chosen as
// the open file's camera profile.
//
// ProfilingWorkflow holds everything the profiling panel shows and every rule
// of it; the panel (and dvk-profile) only display its state and call its
// operations, which keep the names of the panel's actions. It is used on the
// main thread. The application around it comes in through three small
// interfaces: ProfilingHost (the controller: the open file's processor, the
// preview, the profile menu, the support folder), ProfilingPlatform (file
// panels, the Alt key, opening a file with the system) and the process runner
// of platform/process_runner.h.
//
// Life of the panel: showProfilingWindow() puts the develop settings into the
// measuring state (camera RGB, neutral tone) and remembers the user's; the
// image view's selections go to targetSampling(); saveProfile() runs
// `colprof` on a worker thread and finishes on the main queue; the panel's
// close calls windowWillClose(), which gives the user's settings back but
// keeps the white balance and exposure set while measuring.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/settings/settings_value.h"
#include "platform/process_runner.h"
#include "profiling/patches.h"

namespace dvk {

class RawProcessor;
class UserDefaults;

// What the workflow needs of the main window's controller.
class ProfilingHost {
public:
    virtual ~ProfilingHost() = default;
    // The open raw file's processor; null when no raw file is open.
    virtual RawProcessor* processor() = 0;
    // Size in pixels of the preview image the selections refer to.
    virtual unsigned previewWidth() const = 0;
    virtual unsigned previewHeight() const = 0;
    // The main window shows the previous state (its show-previous toggle is on).
    virtual bool showPrevious() const = 0;
    // Develops the preview again with the processor's settings.
    virtual void runApply() = 0;
    // Clears the readouts of the point under the pointer.
    virtual void clearInfoReadouts() = 0;
    // Rebuilds the camera-profile menu.
    virtual void createProfileMenu() = 0;
    // Makes the profile of this file name in the profile folder the open
    // file's camera profile.
    virtual void setCustomCameraProfile(const std::string& name) = 0;
    // The program's support folder (no trailing '/').
    virtual std::string applicationSupportFolder() const = 0;
};

// File panels and system services.
class ProfilingPlatform {
public:
    struct FilePanel {
        std::vector<std::string> types;  // allowed extensions, without the dot
        std::string directory;           // the folder it starts in
        std::string fileName;            // the name it suggests (save panels)
    };
    virtual ~ProfilingPlatform() = default;
    // The chosen path; nullopt when cancelled.
    virtual std::optional<std::string> runOpenPanel(const FilePanel& panel) = 0;
    virtual std::optional<std::string> runSavePanel(const FilePanel& panel) = 0;
    // The Option (Alt) key is held in the current event.
    virtual bool optionKeyHeld() = 0;
    // Opens a file with the application the system chooses.
    virtual void openWithSystem(const std::string& path) = 0;
};

// What changed, for the panel to show again.
enum class ProfilingChange {
    Visibility,     // isVisible()
    Log,            // log()
    Fields,         // description, originator, TI3 file name, check boxes, credits
    ReferenceMenu,  // referenceItems(), selectedReferenceItem()
    PatchToSelect,  // patchToSelect()
    Swatch,         // swatch()
    Running,        // isProfileRunning()
};

// The reference pop-up's items: the built-in reference (tag 0), the template
// folder's files (tag 2) and "Other…" (tag 1, a file chosen in an open panel).
struct ReferenceItem {
    std::string title;
    int tag = 0;
};

// The 48 x 48 swatch of the next patch: one 16-bit RGB colour in "BetaRGB2.2".
struct PatchSwatch {
    static constexpr int kSize = 48;
    std::array<std::uint16_t, 3> rgb{};
    bool shown = false;
};

class ProfilingWorkflow {
public:
    static constexpr const char* kBuiltinReferenceName = "ColorChecker 24";
    static constexpr const char* kTemplateFolderName = "Profile Templates";
    static constexpr const char* kProfileFolderName = "Profiles";

    ProfilingWorkflow(ProfilingHost& host, ProfilingPlatform& platform, UserDefaults& defaults);
    // Waits for a running `colprof`.
    ~ProfilingWorkflow();
    ProfilingWorkflow(const ProfilingWorkflow&) = delete;
    ProfilingWorkflow& operator=(const ProfilingWorkflow&) = delete;

    void setChangeListener(std::function<void(ProfilingChange)> listener) { listener_ = std::move(listener); }

    // --- the panel's actions ----------------------------------------------
    // Prepares the measuring state and shows the panel; false (nothing done)
    // when it is visible already, the main window shows the previous state,
    // no raw file is open or the processor is busy.
    bool showProfilingWindow();
    // The close steps: sampling reset, check boxes stored, lists released, the
    // user's settings back (a profile chosen meanwhile, the white balance and
    // the exposure as they stand now kept), the preview developed again. Only
    // while visible. The panel calls it when it closes.
    void windowWillClose();
    // windowWillClose(), and the panel hides: for quitting and for opening
    // another file while the panel is up.
    void closeProfilingWindow() { windowWillClose(); }
    bool isVisible() const { return visible_; }

    // The reference pop-up: refills it from the template folder and loads the
    // selected reference.
    void createProfileTemplatesMenu();
    // The panel's pop-up selection changed to `index`; loads that reference.
    void selectReferenceItem(int index);
    void loadCIEFile();
    bool readCIEFile(const std::string& path);

    // Import of a TI3 file (open panel), or with Alt held the import cleared.
    void loadTI3File();
    bool readTI3File(const std::string& path);
    bool setTI3FileName(const std::string& path);
    // Asks for a TI3 path (save panel) and writes the measurements there.
    void saveTI3Button();
    // Writes the TI3 file; nullopt: the TI3 file name of the panel.
    bool saveTI3File(const std::optional<std::string>& path);
    // The synthetic white and black patches' deviations from the measured ones.
    void fillEnforcedWB();

    // Measures the next patch in a rectangle of preview pixels (x, y from the
    // top-left corner).
    void targetSampling(double x, double y, double w, double h);
    void resetSampler();   // "Restart"
    void stepPatchBack();  // one patch back; the next sample replaces it
    void updatePatchToSelect();
    void updatePatchImage(double X, double Y, double Z);  // XYZ scaled to 1

    void appendToProfTextView(const std::string& text, bool clear);

    // Writes the measurements, asks where the profile goes (save panel) and
    // starts `colprof`; the result arrives on the main queue.
    void saveProfile();
    // Runs `colprof` on a TI3 file into a profile path (any thread).
    ProcessResult runColProfWithTI3(const std::string& ti3Path, const std::string& profilePath) const;
    // Opens the open file's custom camera profile with the system.
    void openCurrentProfile();
    // Blocks until a started `colprof` run has finished and its result has
    // been handed to the main queue (tools and tests; never the panel).
    void waitForProfileRun();

    // --- what the panel shows and edits -----------------------------------
    const std::string& cieFileName() const { return cieFileName_; }
    void setCieFileName(const std::string& path) { cieFileName_ = path; }
    const std::string& description() const { return descr_; }
    void setDescription(const std::string& text) { descr_ = text; }
    const std::string& originator() const { return origin_; }
    void setOriginator(const std::string& text) { origin_ = text; }
    const std::string& ti3FileName() const { return ti3FileName_; }
    void setTi3FileNameText(const std::string& text) { ti3FileName_ = text; }
    bool enforceWhite() const { return enforceWhite_; }
    void setEnforceWhite(bool on) { enforceWhite_ = on; }
    bool enforceBlack() const { return enforceBlack_; }
    void setEnforceBlack(bool on) { enforceBlack_ = on; }
    const std::vector<ReferenceItem>& referenceItems() const { return referenceItems_; }
    int selectedReferenceItem() const { return selectedReference_; }
    const std::string& log() const { return log_; }
    const std::string& patchToSelect() const { return patchToSelect_; }
    const PatchSwatch& swatch() const { return swatch_; }
    // The ICC profile the swatch colour is in ("BetaRGB2.2").
    static const std::vector<std::uint8_t>& swatchProfile();
    // The credits text (HTML).
    static const char* creditsHtml();
    bool isProfileRunning() const { return running_; }

    // --- state, for tests and tools ----------------------------------------
    int patch() const { return patch_; }
    const std::vector<CIEPatch>& cieValues() const { return cieValues_; }
    const std::vector<TI3Patch>& ti3Values() const { return ti3Values_; }
    const CIEPatch& enfWhiteXYZ() const { return enfWhiteXYZ_; }
    const CIEPatch& enfBlackXYZ() const { return enfBlackXYZ_; }
    const TI3Patch& enfWhiteRGB() const { return enfWhiteRGB_; }
    const TI3Patch& enfBlackRGB() const { return enfBlackRGB_; }
    std::string templateFolder() const;
    std::string profileFolder() const;
    static std::string builtinReferencePath();

    // The default description, "<camera> ISO <iso>, <raw file name>", and the
    // default originator, the user's full name or else login name.
    std::string defaultDescription() const;
    static std::string defaultOriginator();

private:
    struct ProfileRun;

    bool fileOpenAndIdle();
    void changed(ProfilingChange change) const;
    void logf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool refuseUnfinishedSampling();
    // The texts handed to TI3 files and `colprof`: never empty.
    std::string effectiveDescription() const;
    std::string effectiveOriginator() const;
    void finishProfile(const ProfileRun& run);
    void joinWorker();

    ProfilingHost& host_;
    ProfilingPlatform& platform_;
    UserDefaults& defaults_;
    std::function<void(ProfilingChange)> listener_;

    bool visible_ = false;
    std::string descr_, origin_;
    std::string cieFileName_;
    std::vector<ReferenceItem> referenceItems_;
    int selectedReference_ = 0;
    std::string ti3FileName_;
    std::string log_;
    std::string patchToSelect_;
    PatchSwatch swatch_;
    bool enforceWhite_ = false, enforceBlack_ = false;

    int patch_ = 0;
    std::vector<CIEPatch> cieValues_;
    std::vector<TI3Patch> ti3Values_;
    CIEPatch enfWhiteXYZ_, enfBlackXYZ_;
    TI3Patch enfWhiteRGB_, enfBlackRGB_;

    // The user's settings while the panel is up.
    int backupSaveFormat_ = 0;
    std::optional<SettingsDictionary> userSettings_;

    // The `colprof` run on its worker; results come back on the main queue,
    // which checks lifeToken_ so a late result after destruction does nothing.
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
};

}  // namespace dvk
