// The engine's raw decoder class and the few LibRaw calls whose names differ
// between LibRaw 0.20 (Debian 12) and 0.21.
#pragma once

#include <libraw/libraw.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dvk {

// Every LibRaw object the program makes is a LibRaw_DVK, built with flags 0 and
// destroyed through its (virtual) deleting destructor.
class LibRaw_DVK : public LibRaw {
public:
    // LibRaw reports damaged data on stderr by default; the loader reports
    // failures through its result code instead, so that report is off.
    LibRaw_DVK() : LibRaw(0) { set_dataerror_handler(nullptr, nullptr); }
    ~LibRaw_DVK() override = default;

    int is_phaseone_compressed() override { return LibRaw::is_phaseone_compressed(); }

    // Releases the raw sample buffer through LibRaw's own allocator (so that
    // recycle() does not free it again) and clears every pointer into it.
    void free_raw_alloc() {
        libraw_rawdata_t& rd = imgdata.rawdata;
        if (rd.raw_alloc) free(rd.raw_alloc);
        rd.raw_alloc = nullptr;
        rd.raw_image = nullptr;
        rd.color4_image = nullptr;
        rd.color3_image = nullptr;
        rd.float_image = nullptr;
        rd.float3_image = nullptr;
        rd.float4_image = nullptr;
    }

    // LibRaw's unpack() with the same results; the samples of uncompressed
    // 16-bit DNG files are read on the band threads (every other file goes
    // through unpack() itself).
    int unpack_on_threads();

    // LibRaw's raw2image() with the same results, the copy of the raw samples
    // split among the band threads. Files that raw2image() treats specially
    // (45-degree, Phase One compressed, Canon 600, no colour filter) go
    // through raw2image() itself.
    int raw2image_on_threads();

    // LibRaw's subtract_black() with the same results (the image, the black
    // levels, maximum and data_maximum), its passes over the image split
    // among the band threads.
    int subtract_black_on_threads();

    // Both calls above without LibRaw's four-channel image: each image row is
    // put together from the raw samples in a small buffer of a band thread,
    // black subtracted the same way, and handed to row(y, pixels) (iwidth
    // pixels of four samples). begin_image_rows() leaves the black levels,
    // maximum and progress flags as the two calls do, so that the caller can
    // read them before the rows come; image_rows_on_threads() then sets
    // data_maximum; it returns false when a band thread could not get its
    // row buffer (its rows were not delivered). imgdata.image stays empty.
    // begin_image_rows() returns false, changing nothing, for files
    // raw2image_on_threads() hands to raw2image().
    using ImageRowFn = std::function<void(unsigned row, const std::uint16_t (*pixels)[4])>;
    // Rows go to the threads in whole groups, in order within a group: rows
    // [0, group_origin), then group_rows rows at a time.
    bool begin_image_rows();
    bool image_rows_on_threads(const ImageRowFn& row, unsigned group_origin = 0, unsigned group_rows = 1);
    // The same rows of a full-size decode (no shrink) as the sites alone:
    // row(y, samples, colours) gets the iwidth black-subtracted samples of
    // image row y, each its site's own channel of the four-channel row
    // (the others are 0 there), and the colours of the row's sites by
    // column % 48. Returns false, delivering nothing, at half size.
    bool half_size_decode() const { return libraw_internal_data.internal_output_params.shrink != 0; }
    // The width of a 45-degree sensor layout as the open file declares it
    // (imgdata.rawdata.ioparams takes it only at unpack), 0 otherwise.
    unsigned declared_fuji_width() const { return libraw_internal_data.internal_output_params.fuji_width; }
    using SiteRowFn = std::function<void(unsigned row, const std::uint16_t* samples, const unsigned char* colours)>;
    bool image_site_rows_on_threads(const SiteRowFn& row, unsigned group_origin = 0, unsigned group_rows = 1);

    // Where the raw samples of the open (identified, not yet unpacked) file
    // lie, as its decoder will read them.
    struct DataLayout {
        std::string decoder;         // LibRaw's decoder name, "packed_dng_load_raw()"
        std::uint64_t offset = 0;    // the samples, or the table of tile offsets
        // Non-zero when the decoder reads one piece per tile, each at the
        // offset the table at `offset` gives (32-bit values in the file's
        // byte order), tiles row by row.
        unsigned tile_width = 0, tile_length = 0;
        unsigned bits = 0;     // per sample as stored (uncompressed data)
        unsigned samples = 1;  // per pixel as stored
    };
    DataLayout data_layout();
    // `count` values of the table of tile offsets at `at`, in the file's byte
    // order; false, reading nothing, when the file ends before the table
    // does. The decoder's read position is left where it was.
    bool read_tile_offsets(std::uint64_t at, std::size_t count, std::vector<std::uint32_t>& out);

    LibRaw_DVK(const LibRaw_DVK&) = delete;
    LibRaw_DVK& operator=(const LibRaw_DVK&) = delete;

private:
    // The black subtraction begin_image_rows() took over from the colour data.
    struct RowBlack {
        bool subtract = false;
        unsigned channel[4] = {0, 0, 0, 0};  // differences wrap as LibRaw's do
        unsigned rows = 0, cols = 0;  // the per-site pattern, when both are set
        std::vector<unsigned> pattern;
    } row_black_;
};

// --- LibRaw version compatibility ------------------------------------------

// Selects which frame of a multi-frame file the next open_file decodes.
void set_shot_select(LibRaw& raw, unsigned shot);

// Limits the raw buffer unpack() may allocate (LibRaw refuses a larger one).
void set_max_raw_memory_mb(LibRaw& raw, unsigned megabytes);

// Copies the decode options (imgdata.params, and imgdata.rawparams on 0.21)
// from one decoder to another.
void copy_decode_options(LibRaw& to, const LibRaw& from);

// Crops the decoded area to the file's raw inset crop (the DNG default crop),
// as LibRaw 0.21 does: mask bit i enables crop i (0.20 records only crop 0), a
// crop narrower or lower than `maxcrop` of the current size, or one that does
// not fit in the raw frame, is refused. The new margins and sizes go into
// both imgdata.sizes and imgdata.rawdata.sizes, so that raw2image() keeps
// them. Returns 0 when no crop was applied, else the crop's index + 1.
int adjust_to_raw_inset_crop(LibRaw& raw, unsigned mask, float maxcrop);

}  // namespace dvk
