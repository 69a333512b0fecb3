// The CGATS tokenizer: splits a text read through a cgats_file into lines and
// tokens. Line ends may be CR, LF or CR LF; a comment character starts a comment
// that runs to the end of the line; quote characters group text (blanks, line
// ends and comment characters included) into one token, quotes kept. Byte
// classes are set with add_del.
#pragma once

#include <cstddef>
#include <memory>

#include "profiling/cgats/cgats_alloc.h"
#include "profiling/cgats/cgats_file.h"

namespace dvk {

class parse {
public:
    // Frees the buffers and the tokenizer; the file object and the allocator stay with the caller.
    void del();
    // Clears every byte class; byte 0 becomes a separator.
    void reset_del();
    // Adds the class bits to each listed byte (each list may be NULL).
    void add_del(const char* separators, const char* token_ends, const char* comments, const char* quotes);
    // 1 with the next line in the line buffer; 0 at end of file with nothing
    // read (the line number is then reset to 0); -1 on failure (see err()).
    int read_line();
    // The next token of the current line, valid until the next call, or NULL at
    // the end of the line (check errc() for a memory failure).
    const char* get_token();

    // Number of line ends read so far: the line of the tokens being handed out.
    int line() const { return line_; }
    int errc() const { return errc_; }
    const char* err() const { return err_; }

    parse(const parse&) = delete;
    parse& operator=(const parse&) = delete;

private:
    friend parse* new_parse(cgats_alloc* al, cgats_file* fp);

    enum byte_class : unsigned char { separator = 1, token_end = 2, comment_start = 4, quote = 8 };
    enum class line_state { normal, after_cr, in_comment };

    // A byte buffer that grows to twice its size plus 200 bytes.
    struct buffer {
        cgats_alloc* al;
        char* data = nullptr;
        std::size_t size = 0;
        explicit buffer(cgats_alloc* a) : al(a) {}
        ~buffer() {
            if (data) al->free(data);
        }
        buffer(const buffer&) = delete;
        buffer& operator=(const buffer&) = delete;
        bool grow();
    };

    parse(cgats_alloc* al, cgats_file* fp);
    ~parse() = default;
    void fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

    cgats_alloc* al_;
    cgats_file* fp_;
    int line_ = 0;
    buffer lbuf_;
    std::size_t llen_ = 0;   // bytes in the current line
    std::size_t lpos_ = 0;   // read position of get_token
    buffer tbuf_;
    int q_ = 0;              // open quote character, 0 when none
    int quote_line_ = 0;     // line on which the open quote started
    line_state ltflag_ = line_state::normal;
    unsigned char delf_[256] = {};
    int errc_ = 0;
    char err_[200] = {};
};

// A tokenizer with empty buffers, line number 0 and all classes cleared except
// that byte 0 is a separator. NULL when memory runs out.
parse* new_parse(cgats_alloc* al, cgats_file* fp);

struct parse_deleter {
    void operator()(parse* p) const { p->del(); }
};
using parse_ptr = std::unique_ptr<parse, parse_deleter>;

}  // namespace dvk
