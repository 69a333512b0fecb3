// Hostile and damaged raw files, made by the tests themselves, each with the
// code the loader must refuse it with, and the run of a check as another user
// or in a child process whose memory is measured.
//
//   larger20k, larger64k  DNG headers of about 1.4 KB declaring 20000 x 20000
//                         and 64000 x 64000 pixels of 16-bit samples
//   uncompressed900k      the same declaring 24000 x 16000, padded to 900 KB
//   deflate20k            a header of 1.4 KB declaring 20000 x 20000 32-bit
//                         floating-point samples, deflate-compressed
//   shared_tiles,         4096 x 4096 samples in 256 tiles of 256 x 256 that
//   shared_lossless_tiles all lie at one offset, uncompressed and lossless
//                         JPEG of one bit a sample, padded to 900 KB
//   staggered98           98 bytes: CFALayout 2 and an ActiveArea of two values
//   past_end273           273 bytes, one entry: a CFAPattern of 36 values
//                         stored at the end of the file (LibRaw 0.20's TIFF
//                         parser crashes on it)
//   truncated             the real chart DNG (uncompressed) cut in half
//   unreadable            a good DNG of mode 000 (read as another user when
//                         the tests run as root)
//   folder, fifo, missing
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace dvk::test {

struct HostileFile {
    std::string name;
    std::filesystem::path path;
    int code;                   // what the loader returns for it
    long max_mb;                // the most memory a load of it may take
    bool as_other_user = false; // to be read by a user without root's rights
};

// Writes the corpus into `dir` (made readable to other users).
std::vector<HostileFile> write_hostile_files(const std::filesystem::path& dir);

// A DNG header declaring width x height uncompressed 16-bit samples from
// offset 1400, padded to `file_bytes` (at least 1400).
void write_header_larger_than_data(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                                   std::size_t file_bytes = 1400);
// A lossless JPEG of width x height 16-bit samples of one component, every
// difference 0 with a Huffman code of `code_bits` bits (1 to 16).
std::vector<std::uint8_t> lossless_jpeg(unsigned width, unsigned height, unsigned code_bits);
// A DNG of width x height 16-bit samples in one lossless JPEG strip, as above.
void write_lossless_dng(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                        unsigned code_bits);
// A DNG of width x height 16-bit samples in tiles of tile x tile, every tile
// at one offset where the data of one lies: uncompressed, or lossless JPEG
// of one bit a sample; padded to `file_bytes`.
void write_shared_tile_dng(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                           std::uint32_t tile, bool lossless, std::size_t file_bytes);

// Runs `fn` in a child process (as the user "nobody" when `other_user` and
// this process is root): what it returned and how much its largest resident
// size grew while it ran, in KB. `ended` is false when the child did not
// end normally (a crash).
struct ChildRun {
    bool ended = false;
    int result = 0;
    long grown_kb = 0;
};
ChildRun run_in_child(const std::function<int()>& fn, bool other_user);

// Runs a built program (build/bin/NAME) with `args`, as "nobody" when asked
// and root; its standard error and exit status, and its largest resident
// size in KB.
struct ToolRun {
    int status = -1;
    std::string err;
    long max_rss_kb = 0;
};
ToolRun run_built_tool_measured(const std::string& name, const std::vector<std::string>& args, bool other_user);

}  // namespace dvk::test
