// Files a hostile sender could hand over in place of settings, defaults,
// profiles or references: property lists nested far deeper than any real
// one (in both forms), a binary list whose array holds itself, and paths
// that are no regular file (a folder, a device, a FIFO, a sparse file too
// large to read whole).
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace dvk::test {

// `levels` nested arrays in an XML property list.
inline std::string deep_xml_plist(int levels) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    s.reserve(s.size() + static_cast<std::size_t>(levels) * 15 + 8);
    for (int i = 0; i < levels; ++i) s += "<array>";
    for (int i = 0; i < levels; ++i) s += "</array>";
    return s + "</plist>\n";
}

namespace detail {

inline void put_be(std::string& out, std::uint64_t v, int bytes) {
    for (int k = bytes - 1; k >= 0; --k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

// A binary property list of `count` arrays; array i holds one reference,
// to object next(i), or none when next(i) is count.
template <class Next>
std::string binary_arrays(std::uint64_t count, Next next) {
    std::string s = "bplist00";
    std::string offsets;
    for (std::uint64_t i = 0; i < count; ++i) {
        put_be(offsets, s.size(), 4);
        const std::uint64_t n = next(i);
        if (n == count) {
            s += static_cast<char>(0xA0);
        } else {
            s += static_cast<char>(0xA1);
            put_be(s, n, 4);
        }
    }
    const std::uint64_t table = s.size();
    s += offsets;
    s += std::string(6, '\0');
    s += static_cast<char>(4);  // offset size
    s += static_cast<char>(4);  // reference size
    put_be(s, count, 8);
    put_be(s, 0, 8);  // the root
    put_be(s, table, 8);
    return s;
}

}  // namespace detail

// `levels` nested arrays in a binary property list.
inline std::string deep_binary_plist(int levels) {
    const auto count = static_cast<std::uint64_t>(levels);
    return detail::binary_arrays(count, [](std::uint64_t i) { return i + 1; });
}

// A binary property list whose one array holds itself.
inline std::string self_holding_binary_plist() {
    return detail::binary_arrays(1, [](std::uint64_t) { return std::uint64_t{0}; });
}

// A FIFO at `path` (nobody writes to it).
inline bool make_fifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

// A sparse file of `bytes` bytes at `path`.
inline bool make_sparse_file(const std::filesystem::path& path, std::uintmax_t bytes) {
    { std::ofstream(path) << ""; }
    return ::truncate(path.c_str(), static_cast<off_t>(bytes)) == 0;
}

}  // namespace dvk::test
