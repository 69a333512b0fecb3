// LibRaw_DVK::data_layout and read_tile_offsets: where the samples of an
// open file lie, read from the decoder's own state after identification.
#include <climits>
#include <cstring>

#include "core/libraw_dvk.h"

namespace dvk {

namespace {

// Decoders that read one piece of data per tile, each at the offset a table
// gives, when the file is tiled. LibRaw 0.20 reads uncompressed tiled DNG
// samples as one run from the table's own position instead (0.21 reads them
// tile by tile).
bool follows_tile_table(const char* decoder) {
    if (std::strcmp(decoder, "lossless_dng_load_raw()") == 0 || std::strcmp(decoder, "lossy_dng_load_raw()") == 0)
        return true;
#if LIBRAW_VERSION >= LIBRAW_MAKE_VERSION(0, 21, 0)
    return std::strcmp(decoder, "packed_dng_load_raw()") == 0;
#else
    return false;
#endif
}

}  // namespace

LibRaw_DVK::DataLayout LibRaw_DVK::data_layout() {
    DataLayout layout;
    libraw_decoder_info_t info{};
    if (get_decoder_info(&info) == LIBRAW_SUCCESS && info.decoder_name) layout.decoder = info.decoder_name;
    const unpacker_data_t& U = libraw_internal_data.unpacker_data;
    layout.offset = U.data_offset > 0 ? std::uint64_t(U.data_offset) : 0;
    layout.bits = U.tiff_bps;
    layout.samples = U.tiff_samples > 0 ? U.tiff_samples : 1;
    const bool tiled = U.tile_width > 0 && U.tile_width < unsigned(INT_MAX) && U.tile_length > 0 &&
                       U.tile_length < unsigned(INT_MAX);
    if (tiled && follows_tile_table(layout.decoder.c_str())) {
        layout.tile_width = U.tile_width;
        layout.tile_length = U.tile_length;
    }
    return layout;
}

bool LibRaw_DVK::read_tile_offsets(std::uint64_t at, std::size_t count, std::vector<std::uint32_t>& out) {
    out.clear();
    LibRaw_abstract_datastream* input = libraw_internal_data.internal_data.input;
    if (!input) return false;
    const INT64 size = input->size();
    if (size < 0 || at > std::uint64_t(size) || count > (std::uint64_t(size) - at) / 4) return false;
    const INT64 saved = input->tell();
    std::vector<unsigned char> bytes(count * 4);
    // (The streams' seek results differ: the position read back says.)
    input->seek(INT64(at), SEEK_SET);
    const bool read = input->tell() == INT64(at) && input->read(bytes.data(), 1, bytes.size()) == int(bytes.size());
    input->seek(saved, SEEK_SET);
    if (!read) return false;
    const bool little = libraw_internal_data.unpacker_data.order == 0x4949;
    out.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* b = &bytes[4 * i];
        out[i] = little ? std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
                              std::uint32_t(b[3]) << 24
                        : std::uint32_t(b[3]) | std::uint32_t(b[2]) << 8 | std::uint32_t(b[1]) << 16 |
                              std::uint32_t(b[0]) << 24;
    }
    return true;
}

}  // namespace dvk
