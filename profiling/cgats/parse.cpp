#include "profiling/cgats/parse.h"

#include <cstdio>

namespace dvk {

bool parse::buffer::grow() {
    const std::size_t nsize = size * 2 + 200;
    void* p = al->realloc(data, nsize);
    if (!p) return false;
    data = static_cast<char*>(p);
    size = nsize;
    return true;
}

parse::parse(cgats_alloc* al, cgats_file* fp) : al_(al), fp_(fp), lbuf_(al), tbuf_(al) { reset_del(); }

parse* new_parse(cgats_alloc* al, cgats_file* fp) {
    if (!al || !fp) return nullptr;
    void* mem = al->calloc(1, sizeof(parse));
    if (!mem) return nullptr;
    return new (mem) parse(al, fp);
}

void parse::del() {
    cgats_alloc* al = al_;
    this->~parse();
    al->free(this);
}

void parse::fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(err_, sizeof err_, format, args);
    va_end(args);
    errc_ = -1;
}

void parse::reset_del() {
    for (auto& c : delf_) c = 0;
    delf_[0] = separator;
}

void parse::add_del(const char* separators, const char* token_ends, const char* comments, const char* quotes) {
    const struct {
        const char* list;
        unsigned char bit;
    } lists[] = {{separators, separator}, {token_ends, token_end}, {comments, comment_start}, {quotes, quote}};
    for (const auto& l : lists) {
        if (!l.list) continue;
        for (const char* p = l.list; *p; ++p) delf_[static_cast<unsigned char>(*p)] |= l.bit;
    }
}

int parse::read_line() {
    errc_ = 0;
    err_[0] = '\0';
    llen_ = 0;
    lpos_ = 0;
    q_ = 0;
    auto append = [this](int c) {
        if (llen_ + 1 >= lbuf_.size && !lbuf_.grow()) return false;
        lbuf_.data[llen_++] = static_cast<char>(c);
        return true;
    };
    for (;;) {
        const int c = fp_->getch();
        if (c < 0) {
            if (q_ != 0) {
                // A quote left open would otherwise swallow the rest of the file into one token.
                fail("Error at line %d of file '%s': Quote is not closed", quote_line_, fp_->get_name());
                return -1;
            }
            if (llen_ > 0) break;
            line_ = 0;
            return 0;
        }
        if (ltflag_ == line_state::in_comment) {
            if (c == '\n')
                ltflag_ = line_state::normal;
            else if (c == '\r')
                ltflag_ = line_state::after_cr;
            continue;
        }
        if (c == '\r') {
            ++line_;
            ltflag_ = line_state::after_cr;
            if (q_ == 0) break;
        } else if (c == '\n' && ltflag_ == line_state::after_cr) {
            ltflag_ = line_state::normal;
            if (q_ == 0) continue;  // the LF of a CR LF pair
        } else {
            ltflag_ = line_state::normal;
            const unsigned char cls = delf_[static_cast<unsigned char>(c)];
            if (c == '\n') {
                ++line_;
                if (q_ == 0) break;
            } else if ((cls & comment_start) && q_ == 0) {
                ++line_;
                ltflag_ = line_state::in_comment;
                break;
            } else if (cls & quote) {
                if (q_ == 0) {
                    q_ = c;
                    quote_line_ = line_ + 1;
                } else if (q_ == c) {
                    q_ = 0;
                }
            }
        }
        if (!append(c)) {
            fail("parse.read_line(), realloc failed!");
            return -1;
        }
    }
    if (llen_ + 1 > lbuf_.size && !lbuf_.grow()) {
        fail("parse.read_line(), realloc failed!");
        return -1;
    }
    lbuf_.data[llen_] = '\0';
    q_ = 0;
    return 1;
}

const char* parse::get_token() {
    errc_ = 0;
    err_[0] = '\0';
    const auto cls = [this](std::size_t i) { return delf_[static_cast<unsigned char>(lbuf_.data[i])]; };
    while (lpos_ < llen_ && (cls(lpos_) & separator)) ++lpos_;
    std::size_t tlen = 0;
    int q = 0;
    while (lpos_ < llen_) {
        const char c = lbuf_.data[lpos_];
        const unsigned char k = cls(lpos_);
        if (q == 0) {
            // A NUL byte cannot be part of a returned token: it ends one like the line's end.
            if ((k & token_end) || c == '\0') {
                ++lpos_;
                if (tlen > 0) break;
                continue;
            }
            if (k & quote) q = static_cast<unsigned char>(c);
        } else if (static_cast<unsigned char>(c) == q) {
            q = 0;
        }
        if (tlen + 1 >= tbuf_.size && !tbuf_.grow()) {
            fail("parse.get_token(), realloc failed!");
            return nullptr;
        }
        tbuf_.data[tlen++] = c;
        ++lpos_;
    }
    if (tlen == 0) return nullptr;
    tbuf_.data[tlen] = '\0';
    return tbuf_.data;
}

}  // namespace dvk
