// RawProcessor: freeing the buffers, the two loading roads, the auto white
// balance probe of another file and the description texts.
#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "pipeline/load/load_errors.h"
#include "pipeline/load/load_raw_file.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/log.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

// Reported when the working buffers cannot be allocated after a good load.
constexpr int kOutOfMemory = LIBRAW_UNSUFFICIENT_MEMORY;

}  // namespace

void RawProcessor::fileLoaded(const std::string& path) {
    loadedFile_ = path;
    asShotFallbackSaid_ = false;
}

void RawProcessor::fillCamera() {
    const libraw_iparams_t& id = dvklib_->libraw->imgdata.idata;
    setCamera(std::string(id.make) + " " + id.model);
}

void RawProcessor::fillGreenDelta() {
    const double* a = dvklib_->auto_wb;
    if (cfa() != 0 && a[1] > 0 && a[3] > 0)
        greenDelta_ = std::log2(a[1] / a[3]);
    else
        greenDelta_ = 0;
}

void RawProcessor::fillCameraInfo(const std::string& path) {
    const libraw_data_t& id = dvklib_->libraw->imgdata;
    char stamp[64] = "";
    const time_t t = id.other.timestamp;
    if (!ctime_r(&t, stamp)) stamp[0] = '\0';
    int denominator = 0;
    if (id.other.shutter > 0) {
        const double inv = 1.0 / static_cast<double>(id.other.shutter);
        denominator = inv >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(inv);
    }
    const int n = std::snprintf(nullptr, 0,
                                "File: %s\nCamera: %s %s\nTimestamp: %s\nISO speed: %d\nShutter: 1/%d\n"
                                "Aperture: f/%.1lf\nFocal Length: %d\n",
                                path.c_str(), id.idata.make, id.idata.model, stamp,
                                static_cast<int>(id.other.iso_speed), denominator,
                                static_cast<double>(id.other.aperture), static_cast<int>(id.other.focal_len));
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0)
        std::snprintf(text.data(), text.size() + 1,
                      "File: %s\nCamera: %s %s\nTimestamp: %s\nISO speed: %d\nShutter: 1/%d\n"
                      "Aperture: f/%.1lf\nFocal Length: %d\n",
                      path.c_str(), id.idata.make, id.idata.model, stamp, static_cast<int>(id.other.iso_speed),
                      denominator, static_cast<double>(id.other.aperture), static_cast<int>(id.other.focal_len));
    willChangeValueForKey("cameraInfo");
    cameraInfo_ = std::move(text);
    didChangeValueForKey("cameraInfo");
}

void RawProcessor::allocatePreviewBuffers() {
    const std::uint64_t w = imageWidth(), h = imageHeight();
    const std::uint64_t n = static_cast<std::uint64_t>(band_thread_count > 1 ? band_thread_count : 1);
    const std::uint64_t w16 = round_up_to_multiple(w, 16);
    image32_.reset();
    preview_.reset();
    labPreview_.reset();
    image32Floats_ = static_cast<std::size_t>(w16 * round_up_to_multiple(h, 16) * 4);
    previewFloats_ = static_cast<std::size_t>(w16 * round_up_to_multiple(h + 110 * n - 110, 16) * 3);
    labPreviewFloats_ = static_cast<std::size_t>(w16 * round_up_to_multiple(h, 16) * 3);
    image32_ = allocate_aligned<float>(image32Floats_);
    preview_ = allocate_aligned<float>(previewFloats_);
    labPreview_ = allocate_aligned<float>(labPreviewFloats_);
    if (!image32_ || !preview_ || !labPreview_) {
        image32_.reset();
        preview_.reset();
        labPreview_.reset();
        image32Floats_ = previewFloats_ = labPreviewFloats_ = 0;
    }
}

int RawProcessor::initFloatPreviewFromRawFile(const std::optional<std::string>& path) {
    if (path) setFileName(*path);
    const std::string file = fileName_;
    dvklib_->no_cfa = UserDefaults::standard().boolForKey("NoCFA");
    const int rc = load_raw_file(dvklib_, file.c_str(), 1);
    if (rc != 0) {
        log_line("Can't open %s: %s", file.c_str(), load_error_reason(rc).c_str());
        return rc;
    }
    fileLoaded(file);
    fillCamera();
    incProgressBy(5);
    setInterpolation(interpolation_);
    incProgressBy(5);
    fillGreenDelta();
    incProgressBy(5);
    allocatePreviewBuffers();
    if (!image32_) {
        log_line("Can't allocate the preview buffers of %s (%u x %u)\n", file.c_str(), imageWidth(), imageHeight());
        return kOutOfMemory;
    }
    incProgressBy(5);
    fillCameraInfo(file);
    setSharpnessRadius(1.0f);
    return 0;
}

int RawProcessor::initDoubleImageFromRawFile(const std::string& path, int halfSize) {
    image32_.reset();
    labPreview_.reset();
    preview_.reset();
    image32Floats_ = previewFloats_ = labPreviewFloats_ = 0;
    dvklib_->no_cfa = UserDefaults::standard().boolForKey("NoCFA");
    const int rc = load_raw_file(dvklib_, path.c_str(), halfSize);
    if (dvklib_->no_cfa) setSharpnessRadius(1.0f);
    if (rc != 0) {
        log_line("Can't open %s: %s", path.c_str(), load_error_reason(rc).c_str());
        return rc;
    }
    fileLoaded(path);
    incProgressBy(5);
    setInterpolation(interpolation_);
    fillCamera();
    fillCameraInfo(path);
    fillGreenDelta();
    return 0;
}

std::optional<AutoWhiteBalance> RawProcessor::calcAWBFromRawFile(const std::string& path) {
    // The loaded record is put back however this ends.
    struct Restore {
        RawProcessor* self;
        DVKLib* kept;
        std::unique_ptr<DVKLib> temp;
        ~Restore() {
            self->setDvklib(kept);
            if (temp) dvklib_delete(temp.get());
        }
    } restore{this, dvklib_, std::make_unique<DVKLib>()};
    if (!dvklib_new(restore.temp.get())) {
        log_line("Can't open %s: %s", path.c_str(), load_error_reason(kOutOfMemory).c_str());
        return std::nullopt;
    }
    setDvklib(restore.temp.get());
    DVKLib* t = restore.temp.get();
    const int rc = load_raw_file(t, path.c_str(), 1);
    if (rc != 0) {
        log_line("Can't open %s: %s", path.c_str(), load_error_reason(rc).c_str());
        return std::nullopt;
    }
    AutoWhiteBalance awb;
    awb.R = std::log2(t->auto_wb[0] / t->auto_wb[1]);
    awb.G1 = 0.0;
    awb.B = std::log2(t->auto_wb[2] / t->auto_wb[1]);
    awb.G2 = std::log2(t->auto_wb[3] / t->auto_wb[1]);
    awb.fileName = path;
    const libraw_iparams_t& id = t->libraw->imgdata.idata;
    awb.camera = std::string(id.make) + " " + id.model;
    return awb;
}

}  // namespace dvk
