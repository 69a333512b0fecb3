// Lua 5.1 precompiled chunks between machines: rewrites a chunk for another
// size_t width (4 or 8 bytes), changing only the header's size_t byte and the
// length field of every string. Any chunk it cannot read to the last byte (a
// header of another kind, a truncated or overlong body, an unknown constant
// type) is refused, never passed on half-converted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

// The header of a chunk as luac 5.1 writes it (12 bytes).
struct LuaChunkHeader {
    std::uint8_t version = 0, format = 0, little_endian = 0;
    std::uint8_t int_size = 0, size_t_size = 0, instruction_size = 0, number_size = 0, integral = 0;
};

// Reads the header; nullopt when `chunk` does not start with one of Lua 5.1.
std::optional<LuaChunkHeader> read_lua_chunk_header(const std::vector<std::uint8_t>& chunk);

// `chunk` with size_t fields of `size_t_size` bytes (4 or 8). Accepts only
// little-endian chunks with 4-byte int and instruction and 8-byte non-integral
// numbers; on anything else nullopt and the reason in *error.
std::optional<std::vector<std::uint8_t>> rewrite_lua_chunk_size_t(const std::vector<std::uint8_t>& chunk,
                                                                  unsigned size_t_size, std::string* error);

}  // namespace dvk
