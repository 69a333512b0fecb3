// Memory that follows the data: before anything is allocated at the size a
// raw file's header declares, that size is weighed against what the file
// can hold and against this computer's memory.
//
// A header is a few bytes that may claim any size; the samples behind it are
// what the file really holds. A load allocates LibRaw's raw buffer, its
// four-channel image and the float working image (with the band threads'
// spare rows); their sum may be at most kDeclaredSizeFloor plus
// kDeclaredBytesPerFileByte bytes for every byte of the file, generous for
// any compression a camera or converter uses, yet a file of a few KB cannot
// make the program take more than a few tens of MB.
#pragma once

#include <cstdint>

#include "core/libraw_dvk.h"

namespace dvk {

inline constexpr std::uint64_t kDeclaredSizeFloor = std::uint64_t(32) << 20;
inline constexpr std::uint64_t kDeclaredBytesPerFileByte = 4096;

// The bytes a load of the open (identified, not yet unpacked) file takes, at
// half size when `half` is set and the file has a colour-filter pattern.
std::uint64_t declared_load_bytes(LibRaw_DVK& raw, bool half);
// The most a load of a file of `file_bytes` bytes may take.
std::uint64_t load_bytes_allowed(std::uint64_t file_bytes);
// The computer's memory (the ceiling of any load).
std::uint64_t physical_memory_bytes();

// 0 when a load of the open file fits, else kLoadLargerThanData (beyond what
// the file can hold) or kLoadTooLarge (beyond the computer's memory).
int check_declared_size(LibRaw_DVK& raw, std::uint64_t file_bytes, bool half);

}  // namespace dvk
