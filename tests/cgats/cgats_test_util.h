// Helpers of the CGATS tests: objects read from and written to strings, and an
// allocator that counts its blocks and can be told to fail.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "profiling/cgats/cgats.h"
#include "profiling/cgats/cgats_file.h"

namespace dvk::test {

// Reads text into c through a memory stream (file name "**Unknown**").
inline int read_text(cgats* c, const std::string& text) {
    std::string copy = text;
    if (copy.empty()) copy.push_back('\0');  // fmemopen refuses size 0; NUL is a separator
    std::FILE* fp = fmemopen(copy.data(), text.empty() ? 1 : copy.size(), "r");
    if (!fp) return -99;
    cgats_file* f = new_file_fp(fp);
    const int rv = c->read(f);
    f->del();
    std::fclose(fp);
    return rv;
}

// Writes c into a string; rv receives write()'s result.
inline std::string write_text(cgats* c, int* rv = nullptr) {
    char* buf = nullptr;
    std::size_t size = 0;
    std::FILE* fp = open_memstream(&buf, &size);
    cgats_file* f = new_file_fp(fp);
    const int r = c->write(f);
    f->del();
    std::fclose(fp);
    std::string out(buf, size);
    std::free(buf);
    if (rv) *rv = r;
    return out;
}

// A fresh object that accepts any identifier for its first table.
inline cgats_ptr any_id_cgats() {
    cgats_ptr c(new_cgats());
    if (c) c->add_other("");
    return c;
}

// Counts live blocks; fails every allocation once `fail_after` allocations
// have succeeded (never when negative).
class counting_alloc final : public cgats_alloc {
public:
    long live = 0;
    long made = 0;
    long fail_after = -1;

    void* malloc(std::size_t size) override { return take(std::malloc(size ? size : 1)); }
    void* calloc(std::size_t count, std::size_t size) override { return take(std::calloc(count ? count : 1, size ? size : 1)); }
    void* realloc(void* block, std::size_t size) override {
        if (refuse()) return nullptr;
        void* p = std::realloc(block, size ? size : 1);
        if (p) {
            ++made;
            if (!block) ++live;
        }
        return p;
    }
    void free(void* block) override {
        if (block) --live;
        std::free(block);
    }
    void del() override {}

private:
    bool refuse() const { return fail_after >= 0 && made >= fail_after; }
    void* take(void* p) {
        if (refuse()) {
            std::free(p);
            return nullptr;
        }
        if (p) {
            ++live;
            ++made;
        }
        return p;
    }
};

}  // namespace dvk::test
