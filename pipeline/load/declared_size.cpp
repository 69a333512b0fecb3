// The declared size of an open raw file against its data and the memory.
#include "pipeline/load/declared_size.h"

#include <unistd.h>

#include <algorithm>

#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {

std::uint64_t declared_load_bytes(LibRaw_DVK& raw, bool half) {
    const libraw_image_sizes_t& S = raw.imgdata.sizes;
    const std::uint64_t width = S.width, height = S.height;
    // LibRaw's raw buffer: one sample a site for mosaic and one-colour files,
    // four otherwise (three-colour decoders, legacy decoders); floating-point
    // files twice that. Its margins (as unpack() makes them) count too.
    const std::uint64_t raw_width = std::max<std::uint64_t>(S.raw_width, width + S.left_margin);
    const std::uint64_t raw_height = std::max<std::uint64_t>(S.raw_height, height + S.top_margin);
    const bool mosaic = raw.imgdata.idata.filters != 0 || raw.imgdata.idata.colors == 1;
    std::uint64_t sample_bytes = mosaic ? 2 : 8;
    libraw_decoder_info_t info{};
    if (raw.get_decoder_info(&info) == LIBRAW_SUCCESS && (info.decoder_flags & LIBRAW_DECODER_OWNALLOC))
        sample_bytes *= 2;
    const std::uint64_t raw_bytes = raw_width * (raw_height + 8) * sample_bytes;
    // The image of a 45-degree sensor is turned upright: about twice the sites.
    const std::uint64_t turn = raw.declared_fuji_width() ? 2 : 1;
    const unsigned shrink = half && raw.imgdata.idata.filters ? 1 : 0;
    const std::uint64_t iwidth = (width + shrink) >> shrink, iheight = (height + shrink) >> shrink;
    // LibRaw's four-channel image (8 bytes a pixel) and the float working image.
    const std::uint64_t image_bytes = iwidth * iheight * 8 * turn;
    const std::uint64_t working = std::uint64_t(working_image_bytes(unsigned(iwidth), unsigned(iheight))) * turn;
    return raw_bytes + image_bytes + working;
}

std::uint64_t load_bytes_allowed(std::uint64_t file_bytes) {
    const std::uint64_t most = (UINT64_MAX - kDeclaredSizeFloor) / kDeclaredBytesPerFileByte;
    return kDeclaredSizeFloor + std::min(file_bytes, most) * kDeclaredBytesPerFileByte;
}

std::uint64_t physical_memory_bytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0) return UINT64_MAX;
    return std::uint64_t(pages) * std::uint64_t(page);
}

int check_declared_size(LibRaw_DVK& raw, std::uint64_t file_bytes, bool half) {
    const std::uint64_t need = declared_load_bytes(raw, half);
    if (need > load_bytes_allowed(file_bytes)) return kLoadLargerThanData;
    if (need > physical_memory_bytes()) return kLoadTooLarge;
    return 0;
}

}  // namespace dvk
