#include "profiling/cgats/cgats_file.h"

#include <sys/stat.h>

#include <cstring>
#include <optional>

namespace dvk {

int cgats_file::printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = vprintf(format, args);
    va_end(args);
    return n;
}

namespace {

class stdio_file final : public cgats_file {
public:
    stdio_file(cgats_alloc* al, bool own_al, std::FILE* fp, bool opened)
        : al_(al), own_al_(own_al), fp_(fp), opened_(opened) {
        struct stat st;
        const int fd = fileno(fp);
        if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::size_t>(st.st_size);
    }

    // Copies the name; false when memory runs out.
    bool set_name(const char* name) {
        try {
            name_.emplace(name, cgats_allocator<char>(al_));
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    std::size_t get_size() override { return size_; }
    int seek(long offset) override { return std::fseek(fp_, offset, SEEK_SET); }
    std::size_t read(void* buffer, std::size_t size, std::size_t count) override {
        return std::fread(buffer, size, count, fp_);
    }
    int getch() override { return getc(fp_); }
    std::size_t write(const void* buffer, std::size_t size, std::size_t count) override {
        return std::fwrite(buffer, size, count, fp_);
    }
    int vprintf(const char* format, va_list args) override { return std::vfprintf(fp_, format, args); }
    int flush() override { return std::fflush(fp_); }
    const char* get_name() override { return name_ ? name_->c_str() : "**Unknown**"; }

    int del() override {
        int rv = 0;
        if (opened_ && std::fclose(fp_) != 0) rv = 2;
        destroy(this);
        return rv;
    }

    // Undoes the construction in the object's own allocator memory.
    static void destroy(stdio_file* f) {
        cgats_alloc* al = f->al_;
        const bool own = f->own_al_;
        f->~stdio_file();
        al->free(f);
        if (own) al->del();
    }

private:
    cgats_alloc* al_;
    bool own_al_;
    std::FILE* fp_;
    bool opened_;
    std::size_t size_ = 0;
    std::optional<cgats_string> name_;
};

stdio_file* make_file(cgats_alloc* al, bool own_al, std::FILE* fp, bool opened) {
    void* mem = al->calloc(1, sizeof(stdio_file));
    if (!mem) return nullptr;
    return new (mem) stdio_file(al, own_al, fp, opened);
}

}  // namespace

cgats_file* new_file_fp(std::FILE* fp, cgats_alloc* al, const char* name) {
    if (!fp) return nullptr;
    bool own = false;
    if (!al) {
        al = new_std_alloc();
        if (!al) return nullptr;
        own = true;
    }
    stdio_file* f = make_file(al, own, fp, false);
    if (!f && own) al->del();
    if (f && name && !f->set_name(name)) {
        f->del();
        return nullptr;
    }
    return f;
}

cgats_file* new_file_name(const char* path, const char* mode) {
    if (!path || !mode || std::strlen(mode) > 49) return nullptr;
    cgats_alloc* al = new_std_alloc();
    if (!al) return nullptr;
    std::FILE* fp = std::fopen(path, mode);
    if (!fp) {
        al->del();
        return nullptr;
    }
    stdio_file* f = make_file(al, true, fp, true);
    if (!f) {
        std::fclose(fp);
        al->del();
        return nullptr;
    }
    if (!f->set_name(path)) {
        f->del();
        return nullptr;
    }
    return f;
}

}  // namespace dvk
