// File objects of the CGATS library: all reading and writing of a cgats object
// goes through one. The implementation here works over standard I/O streams,
// either a stream the caller owns (new_file_fp) or a file the object opens and
// closes itself (new_file_name).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "profiling/cgats/cgats_alloc.h"

namespace dvk {

class cgats_file {
public:
    // Size in bytes taken when the object was made; 0 when unavailable.
    virtual std::size_t get_size() = 0;
    // Offset from the start; 0 or non-zero as fseek.
    virtual int seek(long offset) = 0;
    virtual std::size_t read(void* buffer, std::size_t size, std::size_t count) = 0;
    // Next byte, or a negative value at end of file.
    virtual int getch() = 0;
    virtual std::size_t write(const void* buffer, std::size_t size, std::size_t count) = 0;
    // As vfprintf: negative on error. Note that %f and friends follow the
    // process locale; the library formats its numbers itself.
    int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual int vprintf(const char* format, va_list args) = 0;
    virtual int flush() = 0;
    // The file's name, or "**Unknown**" when it has none.
    virtual const char* get_name() = 0;
    // 0, or 2 when closing a file that the object opened fails. Frees the
    // object and, when owned, its allocator.
    virtual int del() = 0;

    cgats_file(const cgats_file&) = delete;
    cgats_file& operator=(const cgats_file&) = delete;

protected:
    cgats_file() = default;
    virtual ~cgats_file() = default;
};

// A file object over a stream the caller keeps. With al NULL the object makes
// and owns a standard allocator; `name` (may be NULL) is what get_name gives.
// NULL when memory runs out.
cgats_file* new_file_fp(std::FILE* fp, cgats_alloc* al = nullptr, const char* name = nullptr);

// Opens path with fopen in mode (at most 49 characters); the object owns a
// standard allocator, closes the file in del and keeps a copy of the path as
// its name. NULL when the file cannot be opened or memory runs out.
cgats_file* new_file_name(const char* path, const char* mode);

}  // namespace dvk
