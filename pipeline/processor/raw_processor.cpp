// RawProcessor: creation, destruction, the settings' setters and progress.
#include "pipeline/processor/raw_processor.h"

#include <cmath>

#include "platform/dispatch.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/user_defaults.h"

namespace dvk {

RawProcessor::RawProcessor() {
    dvklib_ = new DVKLib;
    if (!dvklib_new(dvklib_)) log_line("Can't create the raw decoder");
    setExposure(0);
    setHlCompression(0);
    setHlRange(2.0);
    setBlackShift(0);
    setSaturation(0);
    setCurveType(1);
    setGamma(2.2);
    setInterpolation(2);
    setSaveFormat(2);
    setUplab(1);
    setBlurAB(1);
    setBrightness(50);
    setContrast(0);
    setLocalContrast(0);
    setHighRecoveryEV(0);
    setValueZ(1.8);
    setEvRed(0);
    setEvGreen(0);
    setEvBlue(0);
    setEvGreen2(0);
    setEvWarmCold(0);
    setBwMode(0);
    setManualGreen2(1);
    setProgress(0);
    setUseCameraWB(1);
    setLocalContrastEnabled(1);
    setSharpnessEnabled(1);
    setSharpness(0);
    setNoise(0);
    setNoiseEnabled(1);
    setCleanDotNoise(0);
    setTiffXResolution(72);
    setTiffYResolution(72);
    readResolutionDefaults();
    setRaw(0);
    setComprQuality(-1);
    setRotation(0);
    readWBPresetsFromXMLfile(userApplicationSupportFolder() + "/DVK/WBPresets.xml");
    wbPresets_.reserve(64);
    vendorsWBPresets_.reserve(16);
    disabledSettings_.reserve(16);
    uplab2labProfiles_.reserve(8);
    destinationFile_.clear();
    setDecompressionBlackPoint(0.0);
    setDecompressionWhitePoint(1.0);
}

RawProcessor::~RawProcessor() {
    freeImages();
    gamutArr_.reset();
    if (dvklib_) {
        dvklib_delete(dvklib_);
        delete dvklib_;
        dvklib_ = nullptr;
    }
}

void RawProcessor::freeImages() {
    image32_.reset();
    preview_.reset();
    preview16_.reset();
    grayScale_.reset();
    labPreview_.reset();
    image32Floats_ = previewFloats_ = labPreviewFloats_ = 0;
    if (dvklib_ && dvklib_->libraw) dvklib_->libraw->recycle();
}

void RawProcessor::readResolutionDefaults() {
    const float x = UserDefaults::standard().floatForKey("TiffXResolution");
    if (x != 0) setTiffXResolution(x);
    const float y = UserDefaults::standard().floatForKey("TiffYResolution");
    if (y != 0) setTiffYResolution(y);
}

void RawProcessor::willChangeValueForKey(const char* key) {
    settingsWillChange(key);
    if (changeHook_) changeHook_(*this, key, true);
}

void RawProcessor::didChangeValueForKey(const char* key) {
    if (changeHook_) changeHook_(*this, key, false);
    settingsDidChange(key);
}

// --- files ---------------------------------------------------------------

void RawProcessor::setFileName(const std::string& path) { store("fileName", fileName_, path); }

void RawProcessor::setDestinationFile(const std::string& path) {
    if (path == destinationFile_) return;
    store("destinationFile", destinationFile_, path);
}

void RawProcessor::setCamera(const std::string& camera) { store("camera", camera_, camera); }

unsigned RawProcessor::cfa() const {
    return dvklib_ && dvklib_->libraw ? dvklib_->libraw->imgdata.idata.filters : 0;
}

unsigned RawProcessor::imageWidth() const {
    return dvklib_ && dvklib_->libraw ? dvklib_->libraw->imgdata.sizes.iwidth : 0;
}

unsigned RawProcessor::imageHeight() const {
    return dvklib_ && dvklib_->libraw ? dvklib_->libraw->imgdata.sizes.iheight : 0;
}

bool RawProcessor::isHalfSize() const {
    return dvklib_ && dvklib_->libraw && dvklib_->libraw->imgdata.rawdata.ioparams.shrink != 0;
}

// --- progress ------------------------------------------------------------

// Progress is set on the main thread while a worker may be running this
// object's stages, which announce settings of their own (the decompression
// points). Its announcements therefore reach the change hook and the
// observers only: the undo bookkeeping of the settings layer stays with the
// thread that runs the stages. Progress has no undo step either way.
void RawProcessor::announceProgressKey(const char* key, bool before) {
    if (changeHook_) changeHook_(*this, key, before);
    if (!before) settingsLayer_.observers.notify(key);
}

void RawProcessor::setProgress(double value) {
    announceProgressKey("progress", true);
    progress_ = value;
    announceProgressKey("progress", false);
    setIsNotInProgress(true);
}

void RawProcessor::setIsNotInProgress(bool) {
    announceProgressKey("isNotInProgress", true);
    announceProgressKey("isNotInProgress", false);
}

void RawProcessor::incProgressBy(double amount) {
    std::weak_ptr<int> alive = lifeToken_;
    runOnMainQueue([this, alive, amount] {
        if (alive.expired()) return;
        setProgress(progress_ + amount);
        setIsNotInProgress(true);
    });
}

// --- settings ------------------------------------------------------------

void RawProcessor::setExposure(double v) { store("exposure", ev_, v); }

void RawProcessor::setEvRed(double v) {
    willChangeValueForKey("evRed");
    v = clamp_setting("evRed", v, red_ev_);
    if (v != red_ev_) red_ev_ = v;
    didChangeValueForKey("evRed");
}

void RawProcessor::setEvGreen(double v) {
    willChangeValueForKey("evGreen");
    green_ev_ = clamp_setting("evGreen", v, green_ev_);
    setManualGreen2(manualGreen2_);
    didChangeValueForKey("evGreen");
}

void RawProcessor::setEvBlue(double v) {
    willChangeValueForKey("evBlue");
    v = clamp_setting("evBlue", v, blue_ev_);
    if (v != blue_ev_) blue_ev_ = v;
    didChangeValueForKey("evBlue");
}

void RawProcessor::setEvGreen2(double v) {
    willChangeValueForKey("evGreen2");
    v = clamp_setting("evGreen2", v, green2_ev_);
    if (v != green2_ev_) green2_ev_ = v;
    didChangeValueForKey("evGreen2");
}

void RawProcessor::setEvWarmCold(double v) { store("evWarmCold", warm_cold_, v); }

void RawProcessor::setManualGreen2(int v) {
    willChangeValueForKey("manualGreen2");
    manualGreen2_ = v = clamp_setting("manualGreen2", v);
    if (v == 0) setEvGreen2(green_ev_ - greenDelta_);
    didChangeValueForKey("manualGreen2");
}

bool as_shot_multipliers_usable(const float* m) {
    if (!m) return false;
    for (int c = 0; c < 3; ++c)
        if (!(m[c] > 0) || !std::isfinite(m[c])) return false;
    return true;
}

void RawProcessor::setUseCameraWB(int mode) {
    willChangeValueForKey("useCameraWB");
    useCameraWB_ = mode = clamp_setting("useCameraWB", mode);
    const WhiteBalancePresets* preset = nullptr;
    if (mode >= 1000 && mode < 5000 && static_cast<std::size_t>(mode - 1000) < wbPresets_.size())
        preset = &wbPresets_[static_cast<std::size_t>(mode - 1000)];
    if (mode >= 5000 && static_cast<std::size_t>(mode - 5000) < vendorsWBPresets_.size())
        preset = &vendorsWBPresets_[static_cast<std::size_t>(mode - 5000)];
    const auto automatic = [this] {
        // Sums over a zero green sum (a black frame) would give NaN: neutral then.
        const double* a = dvklib_->auto_wb;
        const bool has = a[1] > 0;
        setEvRed(has ? std::log2(a[0] / a[1]) : 0.0);
        setEvGreen(0);
        setEvBlue(has ? std::log2(a[2] / a[1]) : 0.0);
        setEvGreen2(has ? std::log2(a[3] / a[1]) : 0.0);
        setManualGreen2(0);
    };
    if (mode == 1 && dvklib_) {
        automatic();
    } else if (mode == 2 && dvklib_ && dvklib_->libraw) {
        const float* m = dvklib_->libraw->imgdata.color.cam_mul;
        if (as_shot_multipliers_usable(m)) {
            setEvRed(std::log2(m[0] / m[1]));
            setEvGreen(0);
            setEvBlue(std::log2(m[2] / m[1]));
            setEvGreen2(std::log2(m[3] / m[1]));
            setManualGreen2(0);
        } else {
            // A file without a camera white balance (LibRaw gives -1 or 0, a
            // DNG an AsShotNeutral of zeros) is balanced automatically; the
            // mode stays "as shot", so a file that has one takes it.
            automatic();
            if (!loadedFile_.empty() && !asShotFallbackSaid_) {
                log_line("%s has no camera white balance: the automatic white balance is used", loadedFile_.c_str());
                asShotFallbackSaid_ = true;
            }
        }
    } else if (mode == 3) {
        setEvRed(0);
        setEvGreen(0);
        setEvBlue(0);
        setEvGreen2(0);
        setManualGreen2(0);
    } else if (preset) {
        // A preset index beyond its list leaves the white balance as it is.
        setEvRed(preset->red);
        setEvGreen(preset->green);
        setEvBlue(preset->blue);
        setEvGreen2(preset->green2);
        setManualGreen2(manualGreen2_);
    }
    didChangeValueForKey("useCameraWB");
}

void RawProcessor::setHlCompression(double v) { store("hlCompression", hlCompression_, v); }
void RawProcessor::setHlRange(double v) { store("hlRange", hlRange_, v); }
void RawProcessor::setSaturation(double v) { store("saturation", saturation_, v); }

void RawProcessor::setCurveType(int v) {
    willChangeValueForKey("curveType");
    useSCurve_ = v = clamp_setting("curveType", v);
    skip_rgb_compression = (v == 3);
    didChangeValueForKey("curveType");
}

void RawProcessor::setGamma(double v) {
    willChangeValueForKey("gamma");
    if (dvklib_) dvklib_->gamma = clamp_setting("gamma", v, dvklib_->gamma);
    didChangeValueForKey("gamma");
}

void RawProcessor::setUplab(int v) { store("uplab", uplab_, v); }
void RawProcessor::setBlurAB(int v) { store("blurAB", blurAB_, v); }
void RawProcessor::setBrightness(double v) { store("brightness", brightness_, v); }
void RawProcessor::setContrast(double v) { store("contrast", contrast_, v); }
void RawProcessor::setLocalContrast(double v) { store("localContrast", localContrast_, v); }
void RawProcessor::setHighRecoveryEV(double v) { store("highRecoveryEV", highRecoveryEV_, v); }
void RawProcessor::setBwMode(int v) { store("bwMode", bwMode_, v); }
void RawProcessor::setLocalContrastEnabled(int v) { store("localContrastEnabled", useLocalContrast_, v); }

void RawProcessor::setBlackShift(double v) {
    willChangeValueForKey("blackShift");
    if (dvklib_) dvklib_->black_shift = clamp_setting("blackShift", v, dvklib_->black_shift);
    didChangeValueForKey("blackShift");
}

void RawProcessor::setSharpnessEnabled(int v) { store("sharpnessEnabled", useSharpness_, v); }
void RawProcessor::setSharpness(double v) { store("sharpness", sharpness_, v); }
void RawProcessor::setNoise(double v) { store("noise", noise_, v); }
void RawProcessor::setNoiseEnabled(int v) { store("noiseEnabled", noiseEnabled_, v); }
void RawProcessor::setCleanDotNoise(int v) { store("cleanDotNoise", cleanDotNoise_, v); }

void RawProcessor::setInterpolation(int v) {
    willChangeValueForKey("interpolation");
    interpolation_ = v = clamp_setting("interpolation", v);
    if (dvklib_ && dvklib_->libraw) {
        libraw_data_t& id = dvklib_->libraw->imgdata;
        if (id.idata.filters == 9) {  // X-Trans
            if (v == 5) {
                id.params.four_color_rgb = 0;
            } else if (v == 2) {
                id.params.four_color_rgb = 1;
            } else {
                interpolation_ = 1;
                id.params.four_color_rgb = 0;
            }
        } else if (v == 0 || v == 1 || v == 3 || v == 4) {
            id.params.four_color_rgb = 0;
        } else if (v == 2) {
            id.params.four_color_rgb = 1;
        }
    }
    didChangeValueForKey("interpolation");
}

void RawProcessor::setHighRecoveryEnabled(int v) { store("highRecoveryEnabled", highRecoveryEnabled_, v); }
void RawProcessor::setHighRecoveryGuessTone(int v) { store("highRecoveryGuessTone", highRecoveryGuessTone_, v); }
void RawProcessor::setValueZ(double v) { store("valueZ", valueZ_, v); }
void RawProcessor::setRotation(int v) { store("rotation", rotation_, v); }
void RawProcessor::setRaw(int v) { store("raw", rawMode_, v); }
void RawProcessor::setLabOptimize(int v) { store("labOptimize", labOptimize_, v); }
void RawProcessor::setComprQuality(int v) { store("comprQuality", comprQuality_, v); }
void RawProcessor::setTiffXResolution(float v) { store("tiffXResolution", tiffXResolution_, v); }
void RawProcessor::setTiffYResolution(float v) { store("tiffYResolution", tiffYResolution_, v); }
void RawProcessor::setDontOverwriteOnSave(int v) { store("dontOverwriteOnSave", dontOverwriteOnSave_, v); }
void RawProcessor::setSharpnessRadius(float v) { store("sharpnessRadius", sharpnessRadius_, v); }
void RawProcessor::setDecompressionBlackPoint(double v) {
    store("decompressionBlackPoint", decompressionBlackPoint_, v);
}
void RawProcessor::setDecompressionWhitePoint(double v) {
    store("decompressionWhitePoint", decompressionWhitePoint_, v);
}

}  // namespace dvk
