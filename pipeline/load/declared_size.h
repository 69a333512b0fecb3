// Memory that follows the data: before anything is allocated at the size a
// raw file's header declares, that size is weighed against what the file
// can hold and against this computer's memory.
//
// A header is a few bytes that may claim any size; the samples behind it are
// what the file really holds. Two rules, each a bound on what a file may
// make the program take:
// - The data: samples a decoder reads uncompressed take their whole size in
//   the file, and compressed ones no less than the least their coding allows
//   (a lossless JPEG code is at least one bit a sample); tiles that share
//   data hold it once. A file that ends before the declared samples do is
//   refused.
// - The memory: LibRaw's raw buffer, its four-channel image and the float
//   working image (with the band threads' spare rows) may take at most
//   kDeclaredSizeFloor plus kDeclaredBytesPerSmallFileByte bytes for each of
//   the file's first kSmallFileBytes bytes and kDeclaredBytesPerFileByte
//   for each byte beyond: generous for any compression a camera or
//   converter uses on a photograph, which takes megabytes, yet a file under
//   1 MB cannot make a load take more than 288 MiB.
#pragma once

#include <cstdint>

#include "core/libraw_dvk.h"

namespace dvk {

inline constexpr std::uint64_t kDeclaredSizeFloor = std::uint64_t(32) << 20;
inline constexpr std::uint64_t kSmallFileBytes = std::uint64_t(1) << 20;
inline constexpr std::uint64_t kDeclaredBytesPerSmallFileByte = 256;
inline constexpr std::uint64_t kDeclaredBytesPerFileByte = 4096;
// A tile table longer than this is refused: 2^20 tiles of 16 x 16 would
// already be a picture of 268 megapixels.
inline constexpr std::uint64_t kMostTiles = std::uint64_t(1) << 20;

// The bytes a load of the open (identified, not yet unpacked) file takes, at
// half size when `half` is set and the file has a colour-filter pattern.
std::uint64_t declared_load_bytes(LibRaw_DVK& raw, bool half);
// The most a load of a file of `file_bytes` bytes may take.
std::uint64_t load_bytes_allowed(std::uint64_t file_bytes);
// The computer's memory (the ceiling of any load).
std::uint64_t physical_memory_bytes();

// The least number of the file's bytes the declared samples take as its
// decoder reads them (0 where no least size is known), and the bytes the
// file holds for them: from the data's offset to the end, or for a decoder
// reading tile by tile from the first tile's offset to the end (tiles that
// share data thus count it once). `needed` is UINT64_MAX for a tile table the
// file does not hold, or longer than kMostTiles.
struct DeclaredData {
    std::uint64_t needed = 0;
    std::uint64_t held = 0;
};
DeclaredData declared_data(LibRaw_DVK& raw, std::uint64_t file_bytes);

// 0 when a load of the open file fits, else kLoadDataPastEnd (the file does
// not hold the declared samples), kLoadLargerThanData (beyond what the file
// may make a load take) or kLoadTooLarge (beyond the computer's memory).
int check_declared_size(LibRaw_DVK& raw, std::uint64_t file_bytes, bool half);

}  // namespace dvk
