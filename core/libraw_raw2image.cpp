// LibRaw_DVK::raw2image_on_threads: LibRaw's four-channel image filled from
// the raw samples on the band threads.
#include <sys/mman.h>

#include <cstdint>

#include "core/band_runner.h"
#include "core/dvklib.h"
#include "core/libraw_dvk.h"

namespace dvk {

int LibRaw_DVK::raw2image_on_threads() {
    if ((imgdata.progress_flags & LIBRAW_PROGRESS_THUMB_MASK) < LIBRAW_PROGRESS_LOAD_RAW)
        return LIBRAW_OUT_OF_ORDER_CALL;
    const libraw_rawdata_t& rd = imgdata.rawdata;
    if (!rd.raw_image || !rd.iparams.filters || rd.ioparams.fuji_width || is_phaseone_compressed() ||
        is_canon_600())
        return raw2image();

    raw2image_start();
    const libraw_image_sizes_t& S = imgdata.sizes;
    const unsigned shrink = libraw_internal_data.internal_output_params.shrink;
    const std::size_t pixels = std::size_t(S.iheight) * S.iwidth;
    if (imgdata.image) {
        free(imgdata.image);
        imgdata.image = nullptr;
    }
    imgdata.image = static_cast<std::uint16_t(*)[4]>(calloc(pixels, sizeof(*imgdata.image)));
    if (!imgdata.image) return LIBRAW_UNSUFFICIENT_MEMORY;
    // Huge pages for the image: far fewer page faults while it is filled
    // and a cheaper release once the float copy is made.
    {
        const std::uintptr_t page = 4096;
        const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(imgdata.image) + page - 1) & ~(page - 1);
        const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(imgdata.image) + pixels * sizeof(*imgdata.image)) & ~(page - 1);
        if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }

    // A site's colour repeats every 2 (Bayer), 16 (Leaf) or 6 (X-Trans)
    // columns: one row of 48 colours serves the whole row.
    constexpr unsigned kPeriod = 48;
    const std::uint16_t* raw = rd.raw_image;
    const std::size_t pitch = S.raw_pitch / 2;
    std::uint16_t(*image)[4] = imgdata.image;
    const unsigned height = S.height, width = S.width, iwidth = S.iwidth;
    const unsigned top = S.top_margin, left = S.left_margin;
    // Chunks of whole image rows: the raw rows that share an image row (half
    // size) are copied by one thread in LibRaw's order.
    run_row_chunks(S.iheight, band_thread_count, [&](unsigned first, unsigned count) {
        const unsigned row_end = std::min(height, (first + count) << shrink);
        for (unsigned row = first << shrink; row < row_end; ++row) {
            unsigned char colour[kPeriod];
            for (unsigned k = 0; k < kPeriod; ++k) colour[k] = static_cast<unsigned char>(fcol(int(row), int(k)));
            const std::uint16_t* src = raw + (std::size_t(row) + top) * pitch + left;
            std::uint16_t(*dst)[4] = image + std::size_t(row >> shrink) * iwidth;
            if (shrink) {
                for (unsigned col = 0; col < width; ++col) dst[col >> 1][colour[col % kPeriod]] = src[col];
            } else {
                for (unsigned col = 0; col < width; ++col) dst[col][colour[col % kPeriod]] = src[col];
            }
        }
    });

    imgdata.progress_flags = LIBRAW_PROGRESS_START | LIBRAW_PROGRESS_OPEN | LIBRAW_PROGRESS_RAW2_IMAGE |
                             LIBRAW_PROGRESS_IDENTIFY | LIBRAW_PROGRESS_SIZE_ADJUST | LIBRAW_PROGRESS_LOAD_RAW;
    return 0;
}

}  // namespace dvk
