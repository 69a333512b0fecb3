// ProfilingWorkflow: the panel's opening and closing, its texts and log.
#include "profiling/profiling_workflow.h"

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "platform/c_locale_scope.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/resource_path.h"
#include "platform/user_defaults.h"
#include "pipeline/writers/output_naming.h"
#include "profiling/private_files.h"

namespace dvk {

namespace {

// Save format 17: 16-bit TIFF with the raw flag, so the preview holds camera
// RGB without colour conversion.
constexpr int kMeasuringSaveFormat = 17;

// The settings that stand as they are when the panel closes: the white
// balance (the mode is not in the snapshot and stays anyway) and exposure.
constexpr const char* kKeptOnClose[] = {"evRed", "evGreen", "evBlue", "evGreen2", "manualGreen2", "exposure"};

bool blank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

}  // namespace

ProfilingWorkflow::ProfilingWorkflow(ProfilingHost& host, ProfilingPlatform& platform, UserDefaults& defaults)
    : host_(host), platform_(platform), defaults_(defaults) {
    referenceItems_.push_back({kBuiltinReferenceName, 0});
}

ProfilingWorkflow::~ProfilingWorkflow() { joinWorker(); }

void ProfilingWorkflow::changed(ProfilingChange change) const {
    if (listener_) listener_(change);
}

void ProfilingWorkflow::logf(const char* format, ...) {
    // Numbers in the log read the same whatever locale the window toolkit set.
    CNumericScope c_numbers;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    appendToProfTextView(text, false);
}

void ProfilingWorkflow::appendToProfTextView(const std::string& text, bool clear) {
    if (clear) log_.clear();
    log_ += text;
    changed(ProfilingChange::Log);
}

bool ProfilingWorkflow::fileOpenAndIdle() {
    RawProcessor* p = host_.processor();
    return p && p->isFileNameDefined() && p->isNotInProgress();
}

std::string ProfilingWorkflow::templateFolder() const {
    return host_.applicationSupportFolder() + "/" + kTemplateFolderName;
}

std::string ProfilingWorkflow::profileFolder() const {
    return host_.applicationSupportFolder() + "/" + kProfileFolderName;
}

std::string ProfilingWorkflow::builtinReferencePath() { return resource_file(kBuiltinReferenceName); }

std::string ProfilingWorkflow::defaultDescription() const {
    RawProcessor* p = host_.processor();
    if (!p) return {};
    int iso = 0;
    if (DVKLib* d = p->dvklib(); d && d->libraw) {
        const double speed = d->libraw->imgdata.other.iso_speed;
        if (std::isfinite(speed) && std::fabs(speed) < 1e9) iso = static_cast<int>(speed);
    }
    char text[64];
    std::snprintf(text, sizeof text, " ISO %d, ", iso);
    return p->camera() + text + last_path_component(p->fileName());
}

std::string ProfilingWorkflow::defaultOriginator() {
    std::string login;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        // The full name is the first comma-separated part of the GECOS field.
        std::string gecos = found->pw_gecos ? found->pw_gecos : "";
        gecos = gecos.substr(0, gecos.find(','));
        if (!blank(gecos)) return gecos;
        if (found->pw_name) login = found->pw_name;
    }
    if (login.empty())
        for (const char* var : {"LOGNAME", "USER"})
            if (const char* v = std::getenv(var); v && *v) return v;
    return login.empty() ? std::string("unknown") : login;
}

std::string ProfilingWorkflow::effectiveDescription() const {
    if (!blank(descr_)) return descr_;
    const std::string d = defaultDescription();
    return blank(d) ? std::string("Camera profile") : d;
}

std::string ProfilingWorkflow::effectiveOriginator() const {
    return blank(origin_) ? defaultOriginator() : origin_;
}

const char* ProfilingWorkflow::creditsHtml() {
    return "<p>Camera profiles are made by <b>colprof</b>, the profile maker of the open-source colour "
           "management tool set <a href=\"https://www.argyllcms.com/\">ArgyllCMS</a> (GNU AGPL), which runs "
           "here as a separate program installed with the system (Debian package \"argyll\"). DVK reads the "
           "reference files and writes the measurement files with its own CGATS code.</p>"
           "<p>The TI3 files written here are standard measurement files: Argyll's colprof can make other "
           "kinds of profiles from them too. The whole tool set and its documentation are on "
           "<a href=\"https://www.argyllcms.com/\">www.argyllcms.com</a>.</p>";
}

const std::vector<std::uint8_t>& ProfilingWorkflow::swatchProfile() {
    static const std::vector<std::uint8_t> bytes = [] {
        auto profile = getDVKProfileRef("BetaRGB2.2", nullptr);
        return profile ? profile->bytes() : std::vector<std::uint8_t>{};
    }();
    return bytes;
}

bool ProfilingWorkflow::showProfilingWindow() {
    RawProcessor* p = host_.processor();
    if (visible_ || host_.showPrevious() || !p || !p->isFileNameDefined() || !p->isNotInProgress()) return false;

    descr_ = defaultDescription();
    origin_ = defaultOriginator();
    changed(ProfilingChange::Fields);
    createProfileTemplatesMenu();
    const std::string lastTI3 = defaults_.stringForKey("TI3File");
    if (ti3FileName_.empty() && !lastTI3.empty()) setTI3FileName(lastTI3);
    enforceWhite_ = defaults_.integerForKey("EnforceWhite") != 0;
    enforceBlack_ = defaults_.integerForKey("EnforceBlack") != 0;
    changed(ProfilingChange::Fields);

    // The measuring state: neutral tone and camera RGB, with the user's white
    // balance, exposure, contrast and black shift. The user's other settings
    // come back when the panel closes.
    userSettings_ = p->undoSettings();
    const double contrast = p->contrast();
    const double blackShift = p->blackShift();
    p->resetToDefaults(true);
    p->setContrast(contrast);
    p->setBlackShift(blackShift);
    backupSaveFormat_ = p->saveFormat();
    p->setSaveFormat(kMeasuringSaveFormat);

    host_.runApply();
    host_.clearInfoReadouts();
    resetSampler();
    visible_ = true;
    changed(ProfilingChange::Visibility);
    return true;
}

void ProfilingWorkflow::windowWillClose() {
    if (!visible_) return;
    resetSampler();
    defaults_.setInteger("EnforceBlack", enforceBlack_ ? 1 : 0);
    defaults_.setInteger("EnforceWhite", enforceWhite_ ? 1 : 0);
    defaults_.synchronize();
    appendToProfTextView("", true);
    cieValues_.clear();
    ti3Values_.clear();
    if (RawProcessor* p = host_.processor()) {
        // The snapshot carries no custom profile into setUndoSettings, so a
        // profile made and chosen meanwhile stays chosen. The white balance
        // and exposure set on the chart while measuring stay too: a profile
        // made under them is only right with them.
        if (userSettings_) {
            SettingsDictionary back = *userSettings_;
            const SettingsDictionary now = p->undoSettings();
            for (const char* key : kKeptOnClose) back.set(key, now.get(key));
            p->setUndoSettings(back);
        }
        p->setSaveFormat(backupSaveFormat_);
        host_.runApply();
        host_.clearInfoReadouts();
    }
    userSettings_.reset();
    visible_ = false;
    changed(ProfilingChange::Visibility);
}

}  // namespace dvk
