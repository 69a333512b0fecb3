// RawProcessor: the processing model of one raw file.
//
// It owns one engine record (DVKLib), the development settings, the working
// buffers of the preview road and the progress value. The controller makes
// one for the open file and a fresh one for each save, loads a file through
// initFloatPreviewFromRawFile / initDoubleImageFromRawFile, sets the settings
// and runs the stages. One object is used by one worker thread at a time.
//
// Settings are typed properties. Every setter is the one place where its
// setting changes, and it announces the change: willChangeValueForKey(key)
// runs on entry (also when the value will not change) and didChangeValueForKey
// (key) after the setter's side effects; a setter that calls other setters
// nests their announcements inside its own. Keys are the property names
// ("exposure", "evRed", "curveType", ...). Observation and undo hook in by
// overriding those two virtuals or by installing a ChangeHook. Each setter
// keeps its number within the setting's range (setting_ranges.h): a value
// beyond an end is stored as that end, a value that is not a number leaves
// the setting as it was, and either way the change is announced.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/aligned_buffer.h"
#include "core/band_runner.h"
#include "core/dvklib.h"
#include "pipeline/settings/setting_ranges.h"
#include "pipeline/settings/settings_layer.h"
#include "pipeline/settings/white_balance_presets.h"

namespace dvk {

class UndoManager;  // the settings layer's undo manager

// The custom-profile value of the settings text for none (the camera's own
// profile); settings taken in by key ("customRawProfile") read it as none.
inline constexpr std::string_view kDefaultProfileTitle = "Default";

// The auto white balance of another file (calcAWBFromRawFile).
struct AutoWhiteBalance {
    double R = 0, G1 = 0, B = 0, G2 = 0;  // log2 of the channel sums over green
    std::string fileName;
    std::string camera;  // "make model"
};

// Whether a decoder's as-shot multipliers (imgdata.color.cam_mul) hold a
// camera white balance: the first three finite and above 0. Files without
// one give -1 or 0 there.
bool as_shot_multipliers_usable(const float* m);

class RawProcessor {
public:
    // Band worker: a member function taking the band's record.
    using Worker = void (RawProcessor::*)(band_record*);
    // Called with before = true from willChangeValueForKey, false from didChangeValueForKey.
    using ChangeHook = std::function<void(RawProcessor& processor, const char* key, bool before)>;

    static constexpr int kLScaleSize = 65535;

    // init: creates the engine record and sets every default through its setter.
    RawProcessor();
    virtual ~RawProcessor();
    RawProcessor(const RawProcessor&) = delete;
    RawProcessor& operator=(const RawProcessor&) = delete;

    // --- change announcements --------------------------------------------
    void setChangeHook(ChangeHook hook) { changeHook_ = std::move(hook); }

    // --- engine record, files, buffers -------------------------------------
    DVKLib* dvklib() const { return dvklib_; }
    void setDvklib(DVKLib* d) { dvklib_ = d; }  // plain pointer swap, no ownership change
    const std::shared_ptr<UndoManager>& undoManager() const { return undoManager_; }
    void setUndoManager(std::shared_ptr<UndoManager> m) { undoManager_ = std::move(m); }

    const std::string& fileName() const { return fileName_; }
    void setFileName(const std::string& path);
    bool isFileNameDefined() const { return !fileName_.empty(); }
    const std::string& destinationFile() const { return destinationFile_; }
    void setDestinationFile(const std::string& path);
    const std::string& camera() const { return camera_; }
    void setCamera(const std::string& camera);
    const std::string& cameraInfo() const { return cameraInfo_; }
    unsigned cfa() const;  // the decoder's filters (0: no colour-filter pattern)

    float* image32() const { return image32_.get(); }
    float* preview() const { return preview_.get(); }
    std::uint16_t* preview16() const { return preview16_.get(); }
    void setPreview16(AlignedBuffer<std::uint16_t> buffer) { preview16_ = std::move(buffer); }
    float* labPreview() const { return labPreview_.get(); }
    float* grayScale() const { return grayScale_.get(); }
    void setGrayScale(AlignedBuffer<float> buffer) { grayScale_ = std::move(buffer); }
    float* LScale() { return LScale_.data(); }
    // The gamut map of the output profile, made on first use after the
    // profile changed (a save never needs it).
    std::uint8_t* gamutArr() const;
    void setGamutArr(AlignedBuffer<std::uint8_t> buffer);
    // Allocated element counts (floats, or bytes for the gamut map).
    std::size_t image32Floats() const { return image32Floats_; }
    std::size_t previewFloats() const { return previewFloats_; }
    std::size_t labPreviewFloats() const { return labPreviewFloats_; }

    std::vector<std::string>& disabledSettings() { return disabledSettings_; }
    std::vector<std::string>& uplab2labProfiles() { return uplab2labProfiles_; }
    void setUplab2labProfiles(std::vector<std::string> names) { uplab2labProfiles_ = std::move(names); }
    std::vector<WhiteBalancePresets>& wbPresets() { return wbPresets_; }
    std::vector<WhiteBalancePresets>& vendorsWBPresets() { return vendorsWBPresets_; }
    const std::string& customRawProfilePath() const { return customRawProfilePath_; }
    void setCustomRawProfilePath(const std::string& p) { customRawProfilePath_ = p; }
    std::vector<std::uint8_t>& customRawProfileData() { return customRawProfile_; }
    std::vector<std::uint8_t>& uplabProfile() { return uplabProfile_; }

    // --- lifecycle and loading -------------------------------------------
    // Frees image32, preview, preview16, grayScale, labPreview and recycles the decoder.
    void freeImages();
    // Preview load at half size; no path reloads fileName(). 0 or the loader's code.
    int initFloatPreviewFromRawFile(const std::optional<std::string>& path = std::nullopt);
    // Full load for conversion; 0 or the loader's code. fileName() is kept.
    int initDoubleImageFromRawFile(const std::string& path, int halfSize);
    // Auto white balance of another file; the loaded file is never touched.
    std::optional<AutoWhiteBalance> calcAWBFromRawFile(const std::string& path);
    double greenDelta() const { return greenDelta_; }

    // --- progress ------------------------------------------------------------
    double progress() const { return progress_; }
    void setProgress(double value);
    // Adds on the main queue (inline when already on the main thread).
    void incProgressBy(double amount);
    bool isNotInProgress() const { return progress_ == 0 || progress_ >= 100; }
    void setIsNotInProgress(bool);  // stores nothing: re-announces isNotInProgress

    // --- settings ------------------------------------------------------------
    double exposure() const { return ev_; }
    void setExposure(double v);
    double evRed() const { return red_ev_; }
    void setEvRed(double v);
    double evGreen() const { return green_ev_; }
    void setEvGreen(double v);
    double evBlue() const { return blue_ev_; }
    void setEvBlue(double v);
    double evGreen2() const { return green2_ev_; }
    void setEvGreen2(double v);
    double evWarmCold() const { return warm_cold_; }
    void setEvWarmCold(double v);
    int useCameraWB() const { return useCameraWB_; }
    void setUseCameraWB(int mode);
    int manualGreen2() const { return manualGreen2_; }
    void setManualGreen2(int v);
    double hlCompression() const { return hlCompression_; }
    void setHlCompression(double v);
    double hlRange() const { return hlRange_; }
    void setHlRange(double v);
    double saturation() const { return saturation_; }
    void setSaturation(double v);
    int curveType() const { return useSCurve_; }
    void setCurveType(int v);
    bool isCurveTypeS() const { return useSCurve_ == 1; }
    void setIsCurveTypeS(bool) {}
    bool isCurveTypeGamma() const { return useSCurve_ == 0 || useSCurve_ == 3; }
    void setIsCurveTypeGamma(bool) {}
    double gamma() const { return dvklib_ ? dvklib_->gamma : 2.2; }
    void setGamma(double v);
    int uplab() const { return uplab_; }
    void setUplab(int v);
    int blurAB() const { return blurAB_; }
    void setBlurAB(int v);
    double brightness() const { return brightness_; }
    void setBrightness(double v);
    double contrast() const { return contrast_; }
    void setContrast(double v);
    double localContrast() const { return localContrast_; }
    void setLocalContrast(double v);
    double highRecoveryEV() const { return highRecoveryEV_; }
    void setHighRecoveryEV(double v);
    int bwMode() const { return bwMode_; }
    void setBwMode(int v);
    int localContrastEnabled() const { return useLocalContrast_; }
    void setLocalContrastEnabled(int v);
    double blackShift() const { return dvklib_ ? dvklib_->black_shift : 0; }
    void setBlackShift(double v);
    int saveFormat() const { return saveFormat_; }
    void setSaveFormat(int v);
    int sharpnessEnabled() const { return useSharpness_; }
    void setSharpnessEnabled(int v);
    double sharpness() const { return sharpness_; }
    void setSharpness(double v);
    double noise() const { return noise_; }
    void setNoise(double v);
    int noiseEnabled() const { return noiseEnabled_; }
    void setNoiseEnabled(int v);
    int cleanDotNoise() const { return cleanDotNoise_; }
    void setCleanDotNoise(int v);
    int interpolation() const { return interpolation_; }
    void setInterpolation(int v);
    int highRecoveryEnabled() const { return highRecoveryEnabled_; }
    void setHighRecoveryEnabled(int v);
    int highRecoveryGuessTone() const { return highRecoveryGuessTone_; }
    void setHighRecoveryGuessTone(int v);
    double valueZ() const { return valueZ_; }
    void setValueZ(double v);
    int rotation() const { return rotation_; }
    void setRotation(int v);
    int raw() const { return rawMode_; }
    void setRaw(int v);
    int labOptimize() const { return labOptimize_; }
    void setLabOptimize(int v);
    int comprQuality() const { return comprQuality_; }
    void setComprQuality(int v);
    float tiffXResolution() const { return tiffXResolution_; }
    void setTiffXResolution(float v);
    float tiffYResolution() const { return tiffYResolution_; }
    void setTiffYResolution(float v);
    int dontOverwriteOnSave() const { return dontOverwriteOnSave_; }
    void setDontOverwriteOnSave(int v);
    float sharpnessRadius() const { return sharpnessRadius_; }
    void setSharpnessRadius(float v);
    double decompressionBlackPoint() const { return decompressionBlackPoint_; }
    void setDecompressionBlackPoint(double v);
    double decompressionWhitePoint() const { return decompressionWhitePoint_; }
    void setDecompressionWhitePoint(double v);

    // --- settings layer (raw_processor_settings.cpp, raw_processor_settings_text.cpp,
    //     raw_processor_wb.cpp) ------------------------------------------------
    // Key-value access over the table of settings. "settings." in front of a
    // key is skipped (settings() is the object itself). Unknown or read-only
    // keys and non-finite numbers throw KeyValueError; null into a number does
    // nothing. Strings convert to numbers as text does; a number beyond its
    // setting's range is stored as the range's end.
    SettingsValue valueForKey(std::string_view key) const;
    void setValueForKey(std::string_view key, const SettingsValue& value);
    // Throws what setValueForKey would throw for this key and value, and
    // changes nothing.
    void checkValueForKey(std::string_view key, const SettingsValue& value) const;
    // Every key valueForKey answers, in table order.
    static const std::vector<std::string>& settingKeys();
    // The undo action name of a key ("" when its changes register no undo).
    static std::string undoActionNameForKey(std::string_view key);
    RawProcessor& settings() { return *this; }
    // Observers of a key are told after each change of it.
    KeyValueObservers::Token addObserver(std::string key, KeyValueObservers::Callback callback);
    void removeObserver(KeyValueObservers::Token token);

    // The snapshot of 31 settings that copies settings between processors.
    SettingsDictionary undoSettings() const;
    void setUndoSettings(const SettingsDictionary& snapshot);
    // Applies a history record's settings dictionary.
    void setSettings(const KeyValueSource& record);
    void setSettings(const SettingsDictionary& record);
    void resetToDefaults(bool keepWhiteBalance);

    // Settings text and files.
    std::string getSettingsAsTextWithFilter(const std::vector<std::string>* filter) const;
    // The custom profile goes by its path relative to `profileFolder` when
    // it lies inside it, else by its full path ("" stands for the program's
    // own "Profiles" folder).
    std::string getExportSettingsAsText(const std::string& profileFolder = std::string()) const;
    // Empty path: the general pasteboard.
    bool exportSettingsToFile(const std::string& path, bool filterd);
    // A file that cannot be read (not a regular file, too large, nested too
    // deeply, ...) or a pasteboard without settings is logged with its reason.
    // A refused file or text leaves why in *refusal ("PATH: reason" for a
    // file that cannot be read, "PATH holds no settings", or the refused key
    // and value as importSettingsDictionary says them).
    bool importSettingsFromFile(const std::string& path, std::string* outsideDestination = nullptr,
                                std::string* refusal = nullptr);
    // The second half of an import: applies every key through setValueForKey,
    // then the white-balance mode and the second-green rule again. False for
    // an empty dictionary, and (after logging "Looks like garbage") for a key
    // that is no setting or a value a setting cannot hold (a number setting
    // takes only a text that is wholly a number): then nothing is applied, an
    // import takes all of its settings or none. A destination is this
    // machine's own: a "destinationFile" from outside is not taken (a
    // non-empty one is logged and given in *outsideDestination). A refused
    // key leaves why in *refusal, naming the key ("the setting exposure
    // takes a number, not "12abc"", "there is no setting exposur").
    bool importSettingsDictionary(const SettingsDictionary& dict, std::string* outsideDestination = nullptr,
                                  std::string* refusal = nullptr);

    // User white-balance presets ("WBPresets.xml").
    void readWBPresetsFromXMLfile(const std::string& path);
    bool writeWBPresetsToXMLfile(const std::string& path) const;

    // --- band runners (one thread per band; return when all are done) -----
    BandLayout runRGBGSelectorInThreads(Worker worker, int threads, int overlap, float* image, unsigned width,
                                        unsigned height);
    BandLayout runRGBSelectorInThreads(Worker worker, int threads, int overlap, float* image, unsigned width,
                                       unsigned height);
    BandLayout runRGBSelectorInThreads(Worker worker, int threads, float* image, unsigned width, unsigned height);

    // --- band workers: one engine call on the band, then done = 1 -----------
    void AHDInThread(band_record* band);
    void VCDInThread(band_record* band);
    void LMMSEInThread(band_record* band);
    void VNGInThread(band_record* band);
    void Binn32TrInThread(band_record* band);  // writes the binned width and rows back
    void unsharpChannelsInThread(band_record* band);
    void runApplyCurveVecFInThread(band_record* band);
    // The curve worker's stages on a band, after the four multipliers when
    // `balance` is given.
    void applyCurveToBand(band_record* band, const double* balance);
    unsigned curveChunkRows() const;  // rows the curve worker takes at a time
    // The curve worker's steps on n rows (a chunk of its band).
    void curveRows(float* img, unsigned width, unsigned n, const double* balance);
    // The balance and curve, the mosaic sharpening and the mixing of the
    // greens in one pass over the image (each band's rows through all three
    // while in cache), for a full-size 2 x 2 mosaic; the same pixels.
    bool balanceCurveAndSharpenApplies() const;
    void balanceCurveAndSharpenInOnePass(int threads, float* image, unsigned width, unsigned height);
    void makeAdjustStage1InThread(band_record* band);
    void blurABsharpnessInThread(band_record* band);
    void localContrastInThread(band_record* band);
    void makeAdjustStage2InThread(band_record* band);

    // The detail stages above, run with the bands and overlaps of the
    // overlapping runners but without moving the image (each band's overlap
    // rows are copies of its own): the same pixels as
    // runRGBGSelectorInThreads / runRGBSelectorInThreads with the worker.
    void unsharpChannelsInBands(int threads, int overlap, float* image, unsigned width, unsigned height);
    // AHD likewise for the 2 x 2 Bayer patterns (others go through the
    // overlapping runner).
    void AHDInBands(int threads, int overlap, float* image, unsigned width, unsigned height);
    void LMMSEInBands(int threads, int overlap, float* image, unsigned width, unsigned height);
    // Binn32TrInThread on the whole loaded image, on this thread; the
    // decoder's sizes become the binned ones.
    void binWholeImage();
    void blurABsharpnessInBands(int threads, int overlap, float* image, unsigned width, unsigned height);
    // convertImage's colour stages, from the RGB-to-Lab conversion to the
    // output colour, in one pass over the image (each band's rows go through
    // all of them while in cache), for the settings that allow it; false,
    // having done nothing, otherwise.
    bool colourStagesInOnePass(int threads, float* image, unsigned width, unsigned height);
    bool colourInOnePassApplies() const;
    void localContrastInBands(int threads, int overlap, float* image, unsigned width, unsigned height);

    // --- image stages of the processor -------------------------------------
    // Highlight recovery and the white-balance multipliers.
    void rgbgImageApplyBalance(float* image);
    // Exposure, black shift, clamp, highlight compression and tone curve, in bands.
    void rgbgImageApplyCurve(float* image);
    // rgbgImageApplyBalance then rgbgImageApplyCurve, the balance multipliers
    // applied chunk by chunk in the curve's pass (the same values, one pass
    // over the image fewer).
    void rgbgImageApplyBalanceAndCurve(float* image);
    // Copies the loaded image into image32 and adds 5 to progress.
    void rgbgImageReset();
    // White balance from a square of `delta` pixels around a point / from a rectangle.
    void rgbgImageCalcBalanceAtPoint(double x, double y, unsigned delta);
    void rgbgImageCalcBalanceAtRect(double x, double y, double width, double height);

    // The decoder's working sizes (0 without a decoder).
    unsigned imageWidth() const;
    unsigned imageHeight() const;
    bool isHalfSize() const;  // imgdata.rawdata.ioparams.shrink non-zero
    // The input profile name: the custom profile path when a custom profile is
    // loaded, else the camera's built-in profile.
    std::string inputProfileName() const;

    // --- develop sequences (raw_processor_develop.cpp) -----------------------
    // Full conversion of the loaded image in place: balance, curve,
    // demosaicing, orientation, Lab stages and the output colour. Returns
    // false when the image could not be grown for the float stages (it is
    // then left as float RGB in camera space), or when the file cannot be
    // developed at all: convertError() then says why (the image is left as
    // loaded).
    bool convertImage();
    // Why the last convertImage refused the file; empty after a success or
    // an allocation failure.
    const std::string& convertError() const { return convertError_; }
    // convertError() of a file whose colour filter has four colours.
    static constexpr const char* kFourColourRefusal =
        "the sensor's colour filter has four colours (DVK develops red, green and blue filters only)";
    // image32 to preview (output RGB) and labPreview (CIELab), after the
    // controller has run rgbgImageReset, rgbgImageApplyBalance and
    // rgbgImageApplyCurve on image32.
    void makePreview();
    // Colour band workers.
    void rgb2labStage1InThread(band_record* band);
    void lab2rgbInThread(band_record* band);
    void lab2labInThread(band_record* band);
    void rgb2labInThread(band_record* band);
    void betaRGB2labFloatInThread(band_record* band);
    void gamma22FloatInThread(band_record* band);

    // --- filters, input and output profiles (raw_processor_filters.cpp) -----
    void setFilterName(const std::string& name);
    std::string filterName() const;
    bool bwModeRGB() const;
    // A path of an ICC file, a built-in profile name, or "" (none). Only a
    // regular file of at most kProfileFileMaxBytes that can serve as a camera
    // profile is taken (read_input_profile_file); a path that names no such
    // file leaves the camera's own profile in force, any other value is taken
    // as a built-in name.
    void setCustomRawProfile(const std::string& value);
    const std::string& customRawProfile() const { return customRawProfilePath_; }
    // Why the last value given to setCustomRawProfile, a path (with a '/') or
    // a file that exists, could not be taken as a profile file ("PATH: not a
    // regular file", "PATH: Permission denied", "PATH: not an ICC profile",
    // ...); "" otherwise.
    const std::string& customRawProfileError() const { return customRawProfileError_; }
    void setOutputProfile(int code);
    int outputProfile() const;
    // The gamut map becomes that of the named output profile (built when
    // gamutArr() is next asked for it).
    void setGamutArr(const char* profileName);
    void fillDecompressionPoints();
    void fillGrayScale();
    // The Lab profile of the current filter ("" when none).
    std::string labFilterProfile() const;

    // --- saving (raw_processor_save.cpp) --------------------------------------
    std::string makeDefaultBaseName() const;
    // The output path. The raw file itself is never one: a name made from its
    // own (a raw named like a TIFF or JPEG) gets the next number where
    // neither it nor another raw file is.
    std::string makeFullDestinationFileName() const;
    std::optional<std::string> spinCounterOnFileIfExists(const std::string& path) const;
    // The path the output is written to: the output path, unless a raw file
    // other than this one is there (it is never written over): then the
    // first numbered name where no raw file is; and, when nothing may be
    // overwritten, the first numbered name where nothing is. A name that
    // `alsoTaken` (may be empty) says is taken is passed over too. Nothing,
    // with *reason (may be null), when there is no such path.
    std::optional<std::string> destinationForWriting(
        std::string* reason, const std::function<bool(const std::string&)>& alsoTaken = {}) const;
    // Whether the output path can be written; when not, *reason (may be null)
    // says why ("Permission denied", or that it is the raw file itself).
    bool isDestinationFileWritable(std::string* out, std::string* reason = nullptr) const;
    // Writes the converted image to the destination: 0, or an error code
    // (saveError() then says why). It never writes onto the raw file.
    int saveImage();
    int writeJPEG();
    // Why the last saveImage failed ("" after a success).
    const std::string& saveError() const { return saveError_; }

protected:
    // Change announcements (see the top of this file). The defaults call the hook.
    virtual void willChangeValueForKey(const char* key);
    virtual void didChangeValueForKey(const char* key);

private:
    template <typename T>
    void store(const char* key, T& field, T value) {
        willChangeValueForKey(key);
        field = inRange(key, value, field);
        didChangeValueForKey(key);
    }
    static double inRange(const char* key, double v, double current) { return clamp_setting(key, v, current); }
    static float inRange(const char* key, float v, float current) {
        return static_cast<float>(clamp_setting(key, static_cast<double>(v), static_cast<double>(current)));
    }
    static int inRange(const char* key, int v, int) { return clamp_setting(key, v); }
    static const std::string& inRange(const char*, const std::string& v, const std::string&) { return v; }
    void allocatePreviewBuffers();
    void fillGreenDelta();
    void fillCameraInfo(const std::string& path);
    void fillCamera();
    // After each successful load of `path`.
    void fileLoaded(const std::string& path);
    void readResolutionDefaults();

    // The settings layer's side of the announcements: undo registration,
    // undo grouping and observers.
    void settingsWillChange(const char* key);
    void settingsDidChange(const char* key);
    // The announcement of a progress key (see setProgress).
    void announceProgressKey(const char* key, bool before);

    ChangeHook changeHook_;
    SettingsLayerState settingsLayer_;
    // Progress updates queued to the main thread check this token, so an
    // update that arrives after the object is gone does nothing.
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
    DVKLib* dvklib_ = nullptr;  // owned: destroyed with the object
    std::shared_ptr<UndoManager> undoManager_;
    std::string fileName_;
    std::string destinationFile_;
    std::string saveError_;
    AlignedBuffer<float> image32_;
    AlignedBuffer<float> preview_;
    AlignedBuffer<std::uint16_t> preview16_;
    AlignedBuffer<float> grayScale_;
    std::array<float, kLScaleSize> LScale_{};
    AlignedBuffer<float> labPreview_;
    std::size_t image32Floats_ = 0, previewFloats_ = 0, labPreviewFloats_ = 0;
    std::string camera_;
    std::string cameraInfo_;
    int interpolation_ = 0;
    int saveFormat_ = 0;
    double progress_ = 0;
    int manualGreen2_ = 0;
    int useCameraWB_ = 0;
    double greenDelta_ = 0;
    std::vector<std::uint8_t> uplabProfile_;
    std::vector<std::string> uplab2labProfiles_;
    std::string customRawProfilePath_;
    std::vector<std::uint8_t> customRawProfile_;
    std::vector<WhiteBalancePresets> wbPresets_;
    std::vector<WhiteBalancePresets> vendorsWBPresets_;
    std::vector<std::string> disabledSettings_;
    mutable AlignedBuffer<std::uint8_t> gamutArr_;
    mutable const char* gamutProfilePending_ = nullptr;  // profile whose map gamutArr() still has to build
    mutable std::mutex gamutLock_;
    double saturation_ = 0, ev_ = 0, red_ev_ = 0, green_ev_ = 0, green2_ev_ = 0, blue_ev_ = 0, warm_cold_ = 0;
    float tiffXResolution_ = 0, tiffYResolution_ = 0;
    double valueZ_ = 0, contrast_ = 0, brightness_ = 0, localContrast_ = 0;
    int highRecoveryEnabled_ = 0, highRecoveryGuessTone_ = 0;
    double highRecoveryEV_ = 0, sharpness_ = 0, hlCompression_ = 0, hlRange_ = 0, noise_ = 0;
    int noiseEnabled_ = 0, useSCurve_ = 0, useLocalContrast_ = 0, useSharpness_ = 0;
    float sharpnessRadius_ = 1.0f;
    int labOptimize_ = 0, uplab_ = 0, blurAB_ = 0, rawMode_ = 0, comprQuality_ = 0, bwMode_ = 0, rotation_ = 0,
        cleanDotNoise_ = 0, dontOverwriteOnSave_ = 0;
    double decompressionBlackPoint_ = 0, decompressionWhitePoint_ = 1;
    std::string customProfileName_;  // what DVKLib.custom_profile_name points at
    std::string customRawProfileError_;
    std::string convertError_;
    // The file of the last successful load, and whether the as-shot mode has
    // said that it has no camera white balance.
    std::string loadedFile_;
    bool asShotFallbackSaid_ = false;
};

}  // namespace dvk
