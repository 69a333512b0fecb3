// LibRaw_DVK::unpack_on_threads: LibRaw's unpack() with the raw samples of
// uncompressed 16-bit DNG files read on the band threads.
//
// LibRaw reads such a file one row at a time on one thread and stores each
// sample through a function call (its linearisation table applied). The
// samples lie in the file as raw_height rows of raw_width values, one after
// another from the data offset; here every band thread reads its rows
// straight into the raw buffer with one read, then swaps their bytes and
// applies the table when the file asks for it. Everything around the read
// (the buffer, the masked-area black levels, the black adjustment, the
// copies into imgdata.rawdata, the progress flag) is what LibRaw 0.20's
// unpack() does for this decoder; every other file, and every case this
// form does not cover, goes through LibRaw's unpack() itself.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "core/band_runner.h"
#include "core/dvklib.h"
#include "core/libraw_dvk.h"

namespace dvk {

namespace {

// Reads `bytes` bytes at `offset` of `fd` into `out`; false on an error or
// an early end of file.
bool read_at(int fd, void* out, std::size_t bytes, off_t offset) {
    auto* p = static_cast<char*>(out);
    while (bytes > 0) {
        const ssize_t n = pread(fd, p, bytes, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

bool host_is_little_endian() {
    const std::uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

class FileDescriptor {
public:
    explicit FileDescriptor(const char* path) : fd_(path ? open(path, O_RDONLY | O_CLOEXEC) : -1) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

#if LIBRAW_VERSION >= LIBRAW_MAKE_VERSION(0, 21, 0)

// LibRaw 0.21 changed unpack() and this decoder; it decodes these files itself.
int LibRaw_DVK::unpack_on_threads() { return unpack(); }

#else

int LibRaw_DVK::unpack_on_threads() {
    const unsigned stage = imgdata.progress_flags & LIBRAW_PROGRESS_THUMB_MASK;
    libraw_internal_data_t& L = libraw_internal_data;
    unpacker_data_t& U = L.unpacker_data;
    libraw_image_sizes_t& S = imgdata.sizes;
    LibRaw_abstract_datastream* input = L.internal_data.input;
    // LibRaw's unpack() answers every call out of order, a closed input, a
    // missing frame, and all the files and settings this form leaves alone.
    if (stage >= LIBRAW_PROGRESS_LOAD_RAW || stage < LIBRAW_PROGRESS_IDENTIFY || !input || !load_raw ||
        imgdata.params.shot_select >= imgdata.idata.raw_count)
        return unpack();
    libraw_decoder_info_t info;
    if (get_decoder_info(&info) != LIBRAW_SUCCESS || !info.decoder_name ||
        std::strcmp(info.decoder_name, "packed_dng_load_raw()") != 0)
        return unpack();
    if (info.decoder_flags & (LIBRAW_DECODER_OWNALLOC | LIBRAW_DECODER_SINAR4SHOT | LIBRAW_DECODER_3CHANNEL))
        return unpack();
    if (U.tiff_bps != 16 || U.tiff_samples != 1 || U.meta_length != 0 || callbacks.progress_cb || dnghost ||
        _rawspeed_camerameta || L.internal_output_params.fuji_width ||
        !(imgdata.idata.filters || imgdata.idata.colors == 1))
        return unpack();
    const unsigned raw_width = S.raw_width, raw_height = S.raw_height;
    unsigned rwidth = raw_width, rheight = raw_height;
    if (rwidth < unsigned(S.width) + S.left_margin) rwidth = unsigned(S.width) + S.left_margin;
    if (rheight < unsigned(S.height) + S.top_margin) rheight = unsigned(S.height) + S.top_margin;
    const std::uint64_t alloc_bytes = std::uint64_t(rwidth) * (rheight + 8) * sizeof(ushort);
    if (raw_width == 0 || raw_height == 0 || rwidth > 65535 || rheight > 65535 ||
        alloc_bytes > std::uint64_t(imgdata.params.max_raw_memory_mb) * 1024 * 1024 ||
        (S.raw_pitch != 0 && S.raw_pitch != raw_width * 2))
        return unpack();
    // The samples must all be in the file: LibRaw reports a short file as
    // damaged data, which it handles itself.
    const std::uint64_t row_bytes = std::uint64_t(raw_width) * sizeof(ushort);
    const std::uint64_t data_bytes = row_bytes * raw_height;
    FileDescriptor file(input->fname());
    struct stat st;
    if (file.get() < 0 || fstat(file.get(), &st) != 0 || st.st_size != input->size() || U.data_offset < 0 ||
        std::uint64_t(U.data_offset) + data_bytes > std::uint64_t(st.st_size))
        return unpack();

    // As unpack(): the previous buffers go, the raw buffer comes.
    if (imgdata.image) {
        free(imgdata.image);
        imgdata.image = nullptr;
    }
    if (imgdata.rawdata.raw_alloc) {
        free(imgdata.rawdata.raw_alloc);
        imgdata.rawdata.raw_alloc = nullptr;
    }
    const unsigned short save_iwidth = S.iwidth, save_iheight = S.iheight;
    const unsigned short save_shrink = L.internal_output_params.shrink;
    imgdata.rawdata.raw_image = nullptr;
    imgdata.rawdata.color4_image = nullptr;
    imgdata.rawdata.color3_image = nullptr;
    imgdata.rawdata.float_image = nullptr;
    imgdata.rawdata.float3_image = nullptr;
    auto* raw = static_cast<ushort*>(malloc(static_cast<std::size_t>(alloc_bytes)));
    if (!raw) return LIBRAW_UNSUFFICIENT_MEMORY;
    {
        // Huge pages: far fewer page faults while the rows are read in.
        const std::uintptr_t page = 4096;
        const auto begin = (reinterpret_cast<std::uintptr_t>(raw) + page - 1) & ~(page - 1);
        const auto end = (reinterpret_cast<std::uintptr_t>(raw) + alloc_bytes) & ~(page - 1);
        if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }

    // The samples are stored in the file's byte order and go through the
    // linearisation table (the identity unless the file has one).
    const bool swap = (U.order == 0x4949) != host_is_little_endian();
    const ushort* curve = imgdata.color.curve;
    bool identity = true;
    for (unsigned v = 0; v < 0x10000 && identity; ++v) identity = curve[v] == v;
    bool complete = true;
    std::mutex lock;
    run_row_chunks(raw_height, band_thread_count, [&](unsigned first, unsigned count) {
        ushort* rows = raw + std::size_t(first) * raw_width;
        const bool ok = read_at(file.get(), rows, static_cast<std::size_t>(row_bytes * count),
                                static_cast<off_t>(U.data_offset + off_t(row_bytes * first)));
        if (!ok) {
            std::lock_guard<std::mutex> hold(lock);
            complete = false;
            return;
        }
        if (!swap && identity) return;
        const std::size_t n = std::size_t(raw_width) * count;
        if (swap)
            for (std::size_t i = 0; i < n; ++i) rows[i] = ushort(__builtin_bswap16(rows[i]));
        if (!identity)
            for (std::size_t i = 0; i < n; ++i) rows[i] = curve[rows[i]];
    });
    if (!complete) {
        // The file changed under us: LibRaw's own read decides.
        free(raw);
        return unpack();
    }
    imgdata.rawdata.raw_alloc = raw;
    imgdata.rawdata.raw_image = raw;
    if (!S.raw_pitch) S.raw_pitch = raw_width * 2;
    // The stream where LibRaw's reads would have left it.
    input->seek(U.data_offset + INT64(data_bytes), SEEK_SET);

    crop_masked_pixels();  // black levels from the masked areas, when the file has them
    S.iwidth = save_iwidth;
    S.iheight = save_iheight;
    L.internal_output_params.shrink = save_shrink;
    libraw_colordata_t& C = imgdata.color;
    unsigned common = C.cblack[3];
    for (int c = 0; c < 3; ++c)
        if (common > C.cblack[c]) common = C.cblack[c];
    for (int c = 0; c < 4; ++c) C.cblack[c] -= common;
    C.black += common;
    std::memmove(&imgdata.rawdata.color, &imgdata.color, sizeof(imgdata.color));
    std::memmove(&imgdata.rawdata.sizes, &imgdata.sizes, sizeof(imgdata.sizes));
    std::memmove(&imgdata.rawdata.iparams, &imgdata.idata, sizeof(imgdata.idata));
    std::memmove(&imgdata.rawdata.ioparams, &L.internal_output_params, sizeof(L.internal_output_params));
    imgdata.progress_flags |= LIBRAW_PROGRESS_LOAD_RAW;
    return LIBRAW_SUCCESS;
}

#endif

}  // namespace dvk
