#include "tools/dvk-develop/develop.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <libraw/libraw.h>

#include "pipeline/filters.h"
#include "pipeline/raw_processor.h"
#include "pipeline/save_formats.h"

namespace dvk::develop {

namespace {

bool parse_number(const std::string& text, double* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (errno || *end != '\0' || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// The settings a command line needs most, by their keys.
struct NumberSetting {
    const char* key;
    void (*set)(RawProcessor&, double);
};

#define DVK_DOUBLE(name, setter) {name, [](RawProcessor& p, double v) { p.setter(v); }}
#define DVK_INT(name, setter) {name, [](RawProcessor& p, double v) { p.setter(static_cast<int>(v)); }}
#define DVK_FLOAT(name, setter) {name, [](RawProcessor& p, double v) { p.setter(static_cast<float>(v)); }}

const NumberSetting kSettings[] = {
    DVK_DOUBLE("exposure", setExposure),
    DVK_DOUBLE("evRed", setEvRed),
    DVK_DOUBLE("evGreen", setEvGreen),
    DVK_DOUBLE("evBlue", setEvBlue),
    DVK_DOUBLE("evGreen2", setEvGreen2),
    DVK_DOUBLE("evWarmCold", setEvWarmCold),
    DVK_INT("useCameraWB", setUseCameraWB),
    DVK_INT("manualGreen2", setManualGreen2),
    DVK_DOUBLE("hlCompression", setHlCompression),
    DVK_DOUBLE("hlRange", setHlRange),
    DVK_DOUBLE("saturation", setSaturation),
    DVK_INT("curveType", setCurveType),
    DVK_DOUBLE("gamma", setGamma),
    DVK_INT("uplab", setUplab),
    DVK_INT("blurAB", setBlurAB),
    DVK_DOUBLE("brightness", setBrightness),
    DVK_DOUBLE("contrast", setContrast),
    DVK_DOUBLE("localContrast", setLocalContrast),
    DVK_INT("localContrastEnabled", setLocalContrastEnabled),
    DVK_DOUBLE("highRecoveryEV", setHighRecoveryEV),
    DVK_INT("highRecoveryEnabled", setHighRecoveryEnabled),
    DVK_INT("highRecoveryGuessTone", setHighRecoveryGuessTone),
    DVK_INT("bwMode", setBwMode),
    DVK_DOUBLE("blackShift", setBlackShift),
    DVK_INT("saveFormat", setSaveFormat),
    DVK_DOUBLE("sharpness", setSharpness),
    DVK_INT("sharpnessEnabled", setSharpnessEnabled),
    DVK_DOUBLE("noise", setNoise),
    DVK_INT("noiseEnabled", setNoiseEnabled),
    DVK_INT("cleanDotNoise", setCleanDotNoise),
    DVK_INT("interpolation", setInterpolation),
    DVK_DOUBLE("valueZ", setValueZ),
    DVK_INT("rotation", setRotation),
    DVK_INT("raw", setRaw),
    DVK_INT("labOptimize", setLabOptimize),
    DVK_INT("comprQuality", setComprQuality),
    DVK_FLOAT("tiffXResolution", setTiffXResolution),
    DVK_FLOAT("tiffYResolution", setTiffYResolution),
    DVK_INT("dontOverwriteOnSave", setDontOverwriteOnSave),
};

#undef DVK_DOUBLE
#undef DVK_INT
#undef DVK_FLOAT

// The save format first (it sets gamma, profile and raw mode of its own),
// then the options and the --set values, which win over the format's.
bool configure(RawProcessor& p, const Options& opts, const std::string& path) {
    if (opts.format) {
        if (!save_format(*opts.format)) {
            std::fprintf(stderr, "%s: no save format %d (0 to %d)\n", path.c_str(), *opts.format,
                         kSaveFormatCount - 1);
            return false;
        }
        p.setSaveFormat(*opts.format);
    }
    if (opts.interpolation) p.setInterpolation(*opts.interpolation);
    if (opts.filter) {
        if (*opts.filter != "Color" && filter_code_for_name(*opts.filter, p.uplab2labProfiles()) == 0) {
            std::fprintf(stderr, "%s: unknown filter \"%s\"\n", path.c_str(), opts.filter->c_str());
            return false;
        }
        p.setFilterName(*opts.filter);
    }
    if (opts.profile) p.setCustomRawProfile(*opts.profile);
    std::string error;
    for (const auto& [key, value] : opts.settings) {
        if (!apply_setting(p, key, value, &error)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            return false;
        }
    }
    if (opts.out) p.setDestinationFile(*opts.out);
    return true;
}

}  // namespace

bool apply_setting(RawProcessor& p, const std::string& key, const std::string& value, std::string* error) {
    if (key == "filterName") {
        p.setFilterName(value);
        return true;
    }
    if (key == "customRawProfile") {
        p.setCustomRawProfile(value);
        return true;
    }
    for (const NumberSetting& s : kSettings) {
        if (key != s.key) continue;
        double v = 0;
        if (!parse_number(value, &v)) {
            *error = "the setting " + key + " takes a number, not \"" + value + "\"";
            return false;
        }
        s.set(p, v);
        return true;
    }
    *error = "no setting " + key;
    return false;
}

int develop_file(const Options& opts, const std::string& path) {
    RawProcessor p;
    p.setFileName(path);
    if (!configure(p, opts, path)) return 1;
    std::string dest;
    if (!p.isDestinationFileWritable(&dest)) {
        std::fprintf(stderr, "%s: cannot write %s\n", path.c_str(),
                     dest.empty() ? p.makeFullDestinationFileName().c_str() : dest.c_str());
        return 1;
    }
    const int rc = p.initDoubleImageFromRawFile(path, p.interpolation() == 2 ? 1 : 0);
    if (rc != 0) {
        std::fprintf(stderr, "%s: cannot load, LibRaw error %d: %s\n", path.c_str(), rc, libraw_strerror(rc));
        return 1;
    }
    // The white-balance mode takes its multipliers from the file just loaded.
    p.setUseCameraWB(p.useCameraWB());
    p.setProgress(0);
    if (!p.convertImage()) {
        std::fprintf(stderr, "%s: out of memory while developing\n", path.c_str());
        return 1;
    }
    const int saved = p.saveImage();
    if (saved != 0) {
        std::fprintf(stderr, "%s: cannot save %s (error %d)\n", path.c_str(), p.destinationFile().c_str(), saved);
        return 1;
    }
    std::printf("%s\n", p.destinationFile().c_str());
    std::fflush(stdout);
    return 0;
}

int preview_file(const Options& opts, const std::string& path) {
    RawProcessor p;
    if (!configure(p, opts, path)) return 1;
    const int rc = p.initFloatPreviewFromRawFile(path);
    if (rc != 0) {
        std::fprintf(stderr, "%s: cannot load, LibRaw error %d: %s\n", path.c_str(), rc, libraw_strerror(rc));
        return 1;
    }
    p.setUseCameraWB(p.useCameraWB());
    p.setProgress(0);
    p.rgbgImageReset();
    p.rgbgImageApplyBalance(p.image32());
    p.rgbgImageApplyCurve(p.image32());
    p.makePreview();
    std::printf("%s: preview %u x %u\n", path.c_str(), p.imageWidth(), p.imageHeight());
    return 0;
}

}  // namespace dvk::develop
