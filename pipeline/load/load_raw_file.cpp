// load_raw_file: decode a raw file into the record's working image.
//
// The file is decoded into a scratch record with its own decoder; only when
// every step that can fail has succeeded does the scratch state replace the
// record's decoder, image and load results. A failed load therefore leaves the
// previous image, sizes and white balance exactly as they were.
#include <libraw/libraw.h>
#include <strings.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "colour/colour_convert.h"
#include "core/aligned_buffer.h"
#include "core/band_runner.h"
#include "core/dvklib.h"
#include "core/fast_paths.h"
#include "pipeline/load/declared_size.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_loader.h"
#include "pipeline/load/raw_probe.h"
#include "platform/stage_timer.h"

namespace dvk {
namespace {

std::string camera_name(const LibRaw& raw) {
    return std::string(raw.imgdata.idata.make) + " " + raw.imgdata.idata.model;
}

// Step 14: the camera matrix for the colour module.
void hand_off_matrix_of_file(DVKLib* d) {
    LibRaw_DVK& raw = *d->libraw;
    const std::string name = camera_name(raw);
    if (!raw.imgdata.rawdata.iparams.dng_version) {
        if (raw.imgdata.color.cam_xyz[0][0] != 0) hand_off_camera_matrix(d, name.c_str(), raw.imgdata.color.cam_xyz);
        return;
    }
    const libraw_dng_color_t* dng = raw.imgdata.rawdata.color.dng_color;
    if (dng[0].illuminant == 21)
        hand_off_camera_matrix(d, name.c_str(), dng[0].colormatrix);
    else if (dng[1].illuminant == 21)
        hand_off_camera_matrix(d, name.c_str(), dng[1].colormatrix);
    else
        std::fprintf(stderr, "No DNG camera matrix found, %s\n", name.c_str());
}

// Step 15: Leica SL2 DNG files carry 4 rows of garbage at the bottom.
void crop_leica_sl2(DVKLib* d) {
    LibRaw_DVK& raw = *d->libraw;
    if (!raw.imgdata.rawdata.iparams.dng_version) return;
    if (strncasecmp(raw.imgdata.idata.make, "Leica", 5) != 0) return;
    if (strcasecmp(raw.imgdata.idata.model, "SL2") != 0) return;
    if (raw.imgdata.sizes.iheight > 4) raw.imgdata.sizes.iheight -= 4;
}

}  // namespace

int load_raw_file(DVKLib* d, const char* path, int halfSize) {
    if (!d || !d->libraw || !path) return LIBRAW_UNSPECIFIED_ERROR;
    // A regular file this process may read, whose first reading (in the
    // probe's own process where one is in use) found nothing against it.
    std::uint64_t file_bytes = 0;
    if (const int refused = check_raw_file_access(path, &file_bytes)) return refused;
    if (const int refused = first_reading_refusal(path)) return refused;

    DVKLib work;
    work.no_cfa = d->no_cfa;
    for (int c = 0; c < 4; ++c) work.auto_wb[c] = d->auto_wb[c];
    work.libraw.reset(new (std::nothrow) LibRaw_DVK());
    if (!work.libraw) return LIBRAW_UNSUFFICIENT_MEMORY;
    LibRaw_DVK& raw = *work.libraw;
    copy_decode_options(raw, *d->libraw);

    // 1. Decode options.
    raw.recycle();
    const int half = d->no_cfa ? 0 : halfSize;
    raw.imgdata.params.half_size = half;
    set_shot_select(raw, 0);
    raw.imgdata.params.use_fuji_rotate = 0;
    // LibRaw's own raw buffer, too, may take no more than the file allows.
    const std::uint64_t allowed = std::min(load_bytes_allowed(file_bytes), physical_memory_bytes());
    set_max_raw_memory_mb(raw, unsigned(std::clamp<std::uint64_t>(allowed >> 20, 1, LIBRAW_MAX_ALLOC_MB_DEFAULT)));

    // 2. Open and unpack. Nothing is allocated at the size the header
    // declares before that size is weighed against the data.
    StageTimer timer("open");
    int ret = raw.open_file(path);
    if (ret != LIBRAW_SUCCESS) return open_failure_code(ret);
    if (const int refused = check_declared_size(raw, file_bytes, raw.imgdata.params.half_size != 0)) return refused;
    timer.lap("unpack");
    // The unpack runs on one thread: meanwhile a second one builds the
    // colour tables of the develop's Lab conversions, which do not depend on
    // the file (nothing to do once built), and others make the float image
    // of step 5 at the size the file announces, touching every page once so
    // that the copy into it later finds them all in place. Neither fails the
    // load: a buffer of the wrong size is made again below.
    std::exception_ptr unpack_error;
    const bool half_load = raw.imgdata.params.half_size != 0;
    const auto announced = [&] {
        const unsigned shrink = half_load && raw.imgdata.idata.filters ? 1 : 0;
        return working_image_bytes((raw.imgdata.sizes.width + shrink) >> shrink,
                                   (raw.imgdata.sizes.height + shrink) >> shrink);
    };
    const std::size_t early_bytes = announced();
    AlignedBuffer<float> early;
    run_on_threads(3, [&](int task) {
        if (task == 0) {
            try {
                ret = fast_paths_enabled() ? raw.unpack_on_threads() : raw.unpack();
            } catch (...) {
                unpack_error = std::current_exception();
            }
        } else if (task == 1) {
            prepare_lab_tables(nullptr);
        } else {
            early = allocate_aligned<float>(early_bytes / sizeof(float));
            if (!early) return;
            // In pieces of 2 MiB (a huge page) on the threads the unpack and
            // the tables leave free.
            constexpr std::size_t kPiece = std::size_t(2) << 20;
            const std::size_t pieces = (early_bytes + kPiece - 1) / kPiece;
            char* base = reinterpret_cast<char*>(early.get());
            run_row_chunks(static_cast<unsigned>(pieces), band_thread_count > 3 ? band_thread_count - 2 : 1,
                           [&](unsigned first, unsigned count) {
                               const std::size_t b = std::size_t(first) * kPiece;
                               const std::size_t e = std::min(early_bytes, std::size_t(first + count) * kPiece);
                               touch_pages(base + b, e - b);
                           });
        }
    });
    if (unpack_error) std::rethrow_exception(unpack_error);
    if (ret != LIBRAW_SUCCESS) return ret;

    // 3. SIGMA DNG files: decode only the inset crop.
    if (raw.imgdata.rawdata.iparams.dng_version && strncasecmp(raw.imgdata.idata.make, "SIGMA", 5) == 0)
        adjust_to_raw_inset_crop(raw, 1, 0.55f);

    // 4. Into LibRaw's four-channel image, black subtracted. Files whose
    // samples the next steps need in raw units aside, the image rows go
    // straight into the float image of step 5 instead, one row at a time.
    timer.lap("raw2image");
    const bool xtrans_file = raw.imgdata.idata.filters == 9;
    const bool by_rows = !xtrans_file && raw.begin_image_rows();
    if (!by_rows) {
        ret = raw.raw2image_on_threads();
        if (ret != LIBRAW_SUCCESS) return ret;
        timer.lap("subtract_black");
        raw.subtract_black_on_threads();
    }
    timer.lap("float image");

    // 5. Float working image. Unless a step before the normalisation works
    // in raw units (the X-Trans rebuild, the frame merge, the rotation), the
    // copy normalises as it goes (step 10 folded in, same values).
    if (!by_rows && !raw.imgdata.image) return LIBRAW_OUT_OF_ORDER_CALL;
    const libraw_internal_output_params_t& io = raw.imgdata.rawdata.ioparams;
    const bool xtrans_rebuild = io.shrink && xtrans_file;
    const bool raw_units_needed = xtrans_rebuild || io.fuji_width;
    std::size_t bytes = working_image_bytes(raw.imgdata.sizes.iwidth, raw.imgdata.sizes.iheight);
    if (bytes > load_bytes_allowed(file_bytes)) return kLoadLargerThanData;  // sizes the unpack changed
    AlignedBuffer<float> image;
    if (early && early_bytes >= bytes && early_bytes - bytes <= bytes / 4)
        image = std::move(early), bytes = early_bytes;
    else
        image = allocate_aligned<float>(bytes / sizeof(float));
    early.reset();
    if (!image) return LIBRAW_UNSUFFICIENT_MEMORY;
    if (by_rows) {
        // (Steps 6 to 10 do nothing for such files: the white balance of
        // step 11 is estimated row by row as well.)
        if (!copy_raw_normalised(&work, image.get(), 1.0f, true)) return LIBRAW_UNSUFFICIENT_MEMORY;
    } else if (raw_units_needed) {
        copy_image_to_rgbg(&work, image.get());
    } else {
        copy_image_normalised(&work, image.get(), 1.0f);
    }
    set_image(&work, std::move(image), bytes);

    timer.lap("X-Trans rebuild, free LibRaw copies");
    // 6. Half-size X-Trans rebuild from the raw samples.
    build_xtrans_half_image(&work);

    // 7. LibRaw's copies are no longer needed.
    raw.free_image();
    raw.free_raw_alloc();

    timer.lap("second frame, rotation");
    // 8. Second frame of two-frame 45-degree sensors; failures are ignored.
    merge_second_frame(&work, path, half);

    // 9. Upright 45-degree sensors at half size (full size turns after demosaicing).
    if (raw.imgdata.rawdata.ioparams.shrink && raw.imgdata.rawdata.ioparams.fuji_width) {
        if (!rotate_45_degree(&work)) return LIBRAW_UNSUFFICIENT_MEMORY;
    }

    timer.lap("auto white balance");
    // 10.-12. Normalise, estimate the white balance, optionally drop the colour filter.
    if (raw_units_needed) normalize_image(&work, 1.0f);
    if (!by_rows) estimate_auto_wb(&work);
    if (work.no_cfa) convert_to_no_cfa(&work);

    // 13. A missing fourth as-shot multiplier takes the green one.
    float* saved_mul = raw.imgdata.rawdata.color.cam_mul;
    if (saved_mul[3] == 0) saved_mul[3] = saved_mul[1];

    // Nothing fails from here on: the new state replaces the record's.
    d->libraw = std::move(work.libraw);
    set_image(d, std::move(work.image), work.image_bytes);
    for (int c = 0; c < 4; ++c) {
        d->norm_scale[c] = work.norm_scale[c];
        d->chan_max[c] = work.chan_max[c];
        d->auto_wb[c] = work.auto_wb[c];
    }
    d->camera_profile.reset();

    hand_off_matrix_of_file(d);
    crop_leica_sl2(d);
    return 0;
}

}  // namespace dvk
