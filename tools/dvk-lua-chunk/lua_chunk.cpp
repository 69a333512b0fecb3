#include "tools/dvk-lua-chunk/lua_chunk.h"

#include <cstring>

namespace dvk {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr int kMaxNesting = 200;  // Lua 5.1 itself allows fewer nested functions

// Walks a chunk body and copies it, writing every size_t in the new width.
class ChunkRewriter {
public:
    ChunkRewriter(const std::vector<std::uint8_t>& in, unsigned in_size_t, unsigned out_size_t)
        : in_(in), in_size_t_(in_size_t), out_size_t_(out_size_t) {}

    bool run(std::vector<std::uint8_t>& out, std::string& error) {
        pos_ = kHeaderSize;
        out_.assign(in_.begin(), in_.begin() + kHeaderSize);
        out_[8] = std::uint8_t(out_size_t_);
        if (!function(0)) {
            error = error_ + " at byte " + std::to_string(pos_);
            return false;
        }
        if (pos_ != in_.size()) {
            error = std::to_string(in_.size() - pos_) + " bytes after the main function";
            return false;
        }
        out = std::move(out_);
        return true;
    }

private:
    bool fail(const char* why) {
        if (error_.empty()) error_ = why;
        return false;
    }
    std::uint64_t little_endian(std::size_t at, unsigned bytes) const {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < bytes; ++i) v |= std::uint64_t(in_[at + i]) << (8 * i);
        return v;
    }
    bool copy(std::size_t n) {
        if (n > in_.size() - pos_) return fail("truncated chunk");
        out_.insert(out_.end(), in_.begin() + std::ptrdiff_t(pos_), in_.begin() + std::ptrdiff_t(pos_ + n));
        pos_ += n;
        return true;
    }
    bool byte(std::uint8_t& v) {
        if (pos_ >= in_.size()) return fail("truncated chunk");
        v = in_[pos_];
        return copy(1);
    }
    // A 4-byte little-endian int, copied; negative counts are refused.
    bool count(std::uint32_t& v) {
        if (4 > in_.size() - pos_) return fail("truncated chunk");
        const std::uint64_t u = little_endian(pos_, 4);
        if (u > 0x7FFFFFFFu) return fail("negative count");
        v = std::uint32_t(u);
        return copy(4);
    }
    // At least `n` items of `each` bytes must still fit in the input.
    bool fits(std::uint32_t n, std::size_t each) {
        if (each && n > (in_.size() - pos_) / each) return fail("count beyond the end of the chunk");
        return true;
    }
    bool string() {
        if (in_size_t_ > in_.size() - pos_) return fail("truncated chunk");
        const std::uint64_t len = little_endian(pos_, in_size_t_);
        pos_ += in_size_t_;
        if (out_size_t_ == 4 && len > 0xFFFFFFFFu) return fail("string too long for a 4-byte size_t");
        if (len > in_.size() - pos_) return fail("string beyond the end of the chunk");
        if (len > 0 && in_[pos_ + len - 1] != 0) return fail("string without its terminating zero");
        for (unsigned i = 0; i < out_size_t_; ++i) out_.push_back(std::uint8_t(len >> (8 * i)));
        return copy(std::size_t(len));
    }
    bool function(int depth) {
        if (depth > kMaxNesting) return fail("functions nested too deep");
        std::uint32_t n = 0;
        if (!string()) return false;               // source
        if (!copy(4 + 4 + 4)) return false;        // linedefined, lastlinedefined, nups/numparams/is_vararg/maxstack
        if (!count(n) || !fits(n, 4) || !copy(std::size_t(n) * 4)) return false;  // code
        if (!count(n) || !fits(n, 1)) return false;                               // constants
        for (std::uint32_t i = 0; i < n; ++i) {
            std::uint8_t type = 0;
            if (!byte(type)) return false;
            switch (type) {
                case 0: break;                                     // nil
                case 1: if (!copy(1)) return false; break;         // boolean
                case 3: if (!copy(8)) return false; break;         // number
                case 4: if (!string()) return false; break;        // string
                default: return fail("unknown constant type");
            }
        }
        if (!count(n) || !fits(n, 1)) return false;  // nested functions
        for (std::uint32_t i = 0; i < n; ++i)
            if (!function(depth + 1)) return false;
        if (!count(n) || !fits(n, 4) || !copy(std::size_t(n) * 4)) return false;  // line info
        if (!count(n) || !fits(n, 1)) return false;                               // local variables
        for (std::uint32_t i = 0; i < n; ++i)
            if (!string() || !copy(8)) return false;  // name, startpc, endpc
        if (!count(n) || !fits(n, 1)) return false;   // upvalue names
        for (std::uint32_t i = 0; i < n; ++i)
            if (!string()) return false;
        return true;
    }

    const std::vector<std::uint8_t>& in_;
    unsigned in_size_t_, out_size_t_;
    std::size_t pos_ = 0;
    std::vector<std::uint8_t> out_;
    std::string error_;
};

}  // namespace

std::optional<LuaChunkHeader> read_lua_chunk_header(const std::vector<std::uint8_t>& chunk) {
    if (chunk.size() < kHeaderSize || std::memcmp(chunk.data(), "\x1bLua", 4) != 0 || chunk[4] != 0x51)
        return std::nullopt;
    LuaChunkHeader h;
    h.version = chunk[4];
    h.format = chunk[5];
    h.little_endian = chunk[6];
    h.int_size = chunk[7];
    h.size_t_size = chunk[8];
    h.instruction_size = chunk[9];
    h.number_size = chunk[10];
    h.integral = chunk[11];
    return h;
}

std::optional<std::vector<std::uint8_t>> rewrite_lua_chunk_size_t(const std::vector<std::uint8_t>& chunk,
                                                                  unsigned size_t_size, std::string* error) {
    std::string why;
    auto refuse = [&](std::string reason) -> std::optional<std::vector<std::uint8_t>> {
        if (error) *error = std::move(reason);
        return std::nullopt;
    };
    if (size_t_size != 4 && size_t_size != 8) return refuse("size_t must be 4 or 8 bytes");
    auto h = read_lua_chunk_header(chunk);
    if (!h) return refuse("not a Lua 5.1 chunk");
    if (h->format != 0) return refuse("not the official chunk format");
    if (h->little_endian != 1) return refuse("not a little-endian chunk");
    if (h->int_size != 4 || h->instruction_size != 4) return refuse("int and instructions must be 4 bytes");
    if (h->size_t_size != 4 && h->size_t_size != 8) return refuse("size_t of neither 4 nor 8 bytes");
    if (h->number_size != 8 || h->integral != 0) return refuse("numbers must be 8-byte floating point");
    std::vector<std::uint8_t> out;
    ChunkRewriter rewriter(chunk, h->size_t_size, size_t_size);
    if (!rewriter.run(out, why)) return refuse(why);
    return out;
}

}  // namespace dvk
