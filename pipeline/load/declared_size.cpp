// The declared size of an open raw file against its data and the memory.
#include "pipeline/load/declared_size.h"

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

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
    const std::uint64_t small = std::min(file_bytes, kSmallFileBytes);
    const std::uint64_t base = kDeclaredSizeFloor + small * kDeclaredBytesPerSmallFileByte;
    const std::uint64_t most = (UINT64_MAX - base) / kDeclaredBytesPerFileByte;
    return base + std::min(file_bytes - small, most) * kDeclaredBytesPerFileByte;
}

namespace {

// The least bytes `rows` rows of `width` pixels take in the data of the
// decoder of `layout`; 0 where no least size is known.
std::uint64_t least_bytes(const LibRaw_DVK::DataLayout& layout, std::uint64_t width, std::uint64_t rows) {
    const std::string& decoder = layout.decoder;
    if (decoder == "packed_dng_load_raw()") {
        // Stored as they are, each row from a byte boundary.
        if (layout.bits == 0 || layout.bits > 16) return 0;
        return rows * (width * layout.samples * layout.bits / 8);
    }
    // Each difference of a lossless JPEG has a Huffman code of one bit or more.
    if (decoder == "lossless_dng_load_raw()") return rows * width * layout.samples / 8;
    // Each 8 x 8 block of a baseline JPEG has a DC code and an end of block.
    if (decoder == "lossy_dng_load_raw()") return (rows + 7) / 8 * ((width + 7) / 8) * 2 / 8;
    return 0;
}

}  // namespace

DeclaredData declared_data(LibRaw_DVK& raw, std::uint64_t file_bytes) {
    const LibRaw_DVK::DataLayout layout = raw.data_layout();
    const libraw_image_sizes_t& S = raw.imgdata.sizes;
    const std::uint64_t width = S.raw_width, height = S.raw_height;
    const auto from = [&](std::uint64_t offset) { return offset < file_bytes ? file_bytes - offset : 0; };
    DeclaredData data;
    if (layout.tile_width == 0 || width == 0 || height == 0) {
        data.needed = least_bytes(layout, width, height);
        data.held = from(layout.offset);
        return data;
    }
    // Tiles row by row, as the decoder reads them; the last row of tiles may
    // reach below the image (its rows there are not read).
    const std::uint64_t tw = layout.tile_width, tl = layout.tile_length;
    const std::uint64_t across = (width + tw - 1) / tw, down = (height + tl - 1) / tl;
    const std::uint64_t last_rows = height - (down - 1) * tl;
    data.needed = across * ((down - 1) * least_bytes(layout, tw, tl) + least_bytes(layout, tw, last_rows));
    if (data.needed == 0) {
        data.held = from(layout.offset);
        return data;
    }
    std::vector<std::uint32_t> offsets;
    if (across * down > kMostTiles || !raw.read_tile_offsets(layout.offset, std::size_t(across * down), offsets)) {
        data.needed = UINT64_MAX;
        return data;
    }
    // The tiles' data lies from the first tile on: however many tiles share
    // it, the file holds those bytes once.
    data.held = offsets.empty() ? 0 : from(*std::min_element(offsets.begin(), offsets.end()));
    return data;
}

std::uint64_t physical_memory_bytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0) return UINT64_MAX;
    return std::uint64_t(pages) * std::uint64_t(page);
}

int check_declared_size(LibRaw_DVK& raw, std::uint64_t file_bytes, bool half) {
    // The data first: its answer is the same at every size.
    const DeclaredData data = declared_data(raw, file_bytes);
    if (data.needed > data.held) return kLoadDataPastEnd;
    const std::uint64_t need = declared_load_bytes(raw, half);
    if (need > load_bytes_allowed(file_bytes)) return kLoadLargerThanData;
    if (need > physical_memory_bytes()) return kLoadTooLarge;
    return 0;
}

}  // namespace dvk
