// Owned, 64-byte aligned heap buffers for image data.
//
// Every pixel buffer of the engine is an AlignedBuffer<T>: a unique_ptr with an
// aligned deleter. Allocation never throws; a failed allocation gives an
// empty buffer so the caller can report and keep its previous state.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <sys/mman.h>

namespace dvk {

inline constexpr std::size_t kBufferAlignment = 64;

struct AlignedFree {
    void operator()(void* p) const noexcept { std::free(p); }
};

template <typename T>
using AlignedBuffer = std::unique_ptr<T[], AlignedFree>;

// Allocates `count` elements of T (uninitialised for trivial types), or an empty
// buffer when count is 0 or memory is short.
template <typename T>
AlignedBuffer<T> allocate_aligned(std::size_t count) noexcept {
    if (count == 0 || count > (SIZE_MAX - kBufferAlignment) / sizeof(T)) return AlignedBuffer<T>();
    std::size_t bytes = count * sizeof(T);
    bytes = (bytes + kBufferAlignment - 1) / kBufferAlignment * kBufferAlignment;
    // Image-sized buffers start on a 2 MiB boundary and ask for huge pages:
    // far fewer page faults when they are first written, fewer TLB misses.
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (bytes >= 2 * kHugePage) {
        bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = std::aligned_alloc(kHugePage, bytes);
        if (p) madvise(p, bytes, MADV_HUGEPAGE);
        return AlignedBuffer<T>(static_cast<T*>(p));
    }
    return AlignedBuffer<T>(static_cast<T*>(std::aligned_alloc(kBufferAlignment, bytes)));
}

// Writes one byte in every page of a fresh buffer, so that the system makes
// its pages now (on the calling thread) rather than when they are first used.
inline void touch_pages(void* buffer, std::size_t bytes) noexcept {
    auto* p = static_cast<volatile unsigned char*>(buffer);
    for (std::size_t i = 0; i < bytes; i += 4096) p[i] = 0;
}

// As allocate_aligned, with every byte set to zero.
template <typename T>
AlignedBuffer<T> allocate_aligned_zeroed(std::size_t count) noexcept {
    AlignedBuffer<T> buf = allocate_aligned<T>(count);
    if (buf) std::memset(static_cast<void*>(buf.get()), 0, count * sizeof(T));
    return buf;
}

}  // namespace dvk
