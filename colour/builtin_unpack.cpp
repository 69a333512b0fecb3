// Unpacking of the packed built-in profiles: Blowfish (OpenSSL) over 8-byte
// big-endian blocks, then an LZMA stream in the "alone" layout (liblzma).
#define OPENSSL_SUPPRESS_DEPRECATED 1

#include <lzma.h>
#include <openssl/blowfish.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "colour/builtin_profiles.h"

namespace dvk {

namespace {

std::mutex unpack_lock;

// Longest key material that is used; a key with no zero byte within it is refused.
constexpr std::size_t kMaxKeyBytes = 72;
constexpr unsigned kLzmaHeaderBytes = 13;

std::uint32_t read_be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void write_be32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

}  // namespace

unsigned decipher_profile_blob(void** out, const void* packed, unsigned packed_size, const char* key) {
    *out = nullptr;
    if (!packed || packed_size < 4 || !key) return 0;
    const auto* src = static_cast<const unsigned char*>(packed);
    std::size_t key_len = strnlen(key, kMaxKeyBytes + 1);
    if (key_len > kMaxKeyBytes) return 0;
    BF_KEY schedule;
    BF_set_key(&schedule, int(key_len), reinterpret_cast<const unsigned char*>(key));

    unsigned n = read_be32(src + packed_size - 4);
    if (n > packed_size) n = 256;
    if (n == 0) return 0;
    auto* buf = static_cast<unsigned char*>(std::calloc(n, 1));
    if (!buf) return 0;
    const unsigned body = packed_size - 4;
    for (unsigned o = 0; o < body && o < n; o += 8) {
        if (body - o < 8) break;  // a partial block at the end of the body is not read
        BF_LONG block[2] = {read_be32(src + o), read_be32(src + o + 4)};
        BF_decrypt(block, &schedule);
        unsigned char plain[8];
        write_be32(plain, block[0]);
        write_be32(plain + 4, block[1]);
        std::memcpy(buf + o, plain, n - o < 8 ? n - o : 8);
    }
    *out = buf;
    return n;
}

int unpack_builtin_profile(void** slot, const void* packed, unsigned packed_size, unsigned length,
                           const char* unpack_param) {
    std::lock_guard<std::mutex> guard(unpack_lock);
    if (*slot) return 0;
    // Malformed blobs are refused before anything is read from them.
    if (!packed || packed_size < 8 + 4 || (packed_size - 4) % 8 != 0 || length == 0 || !unpack_param ||
        strnlen(unpack_param, kMaxKeyBytes + 1) > kMaxKeyBytes) {
        std::fprintf(stderr, "Profile decoding error\n");
        return 1;
    }
    if (read_be32(static_cast<const unsigned char*>(packed) + packed_size - 4) < kLzmaHeaderBytes) {
        std::fprintf(stderr, "Profile decoding error\n");
        return 1;
    }
    void* raw = nullptr;
    unsigned n = decipher_profile_blob(&raw, packed, packed_size, unpack_param);
    std::unique_ptr<unsigned char, decltype(&std::free)> stream(static_cast<unsigned char*>(raw), &std::free);
    if (!stream || n < kLzmaHeaderBytes) {
        std::fprintf(stderr, "Profile decoding error\n");
        return 1;
    }

    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, stream.get(), 5) != LZMA_OK) {
        std::fprintf(stderr, "Incorrect stream properties\n");
        return 1;
    }
    auto* out = static_cast<unsigned char*>(std::calloc(std::size_t(length) + 1, 1));
    if (!out) {
        std::free(filters[0].options);
        std::fprintf(stderr, "Profile decoding error\n");
        return 1;
    }
    lzma_stream strm = LZMA_STREAM_INIT;
    lzma_ret ret = lzma_raw_decoder(&strm, filters);
    std::free(filters[0].options);
    if (ret == LZMA_OK) {
        strm.next_in = stream.get() + kLzmaHeaderBytes;
        strm.avail_in = n - kLzmaHeaderBytes;
        strm.next_out = out;
        strm.avail_out = length;
        ret = lzma_code(&strm, LZMA_FINISH);
    }
    const bool whole = strm.total_out == length && (ret == LZMA_OK || ret == LZMA_STREAM_END);
    lzma_end(&strm);
    if (!whole) {
        std::free(out);
        std::fprintf(stderr, "Profile decoding error\n");
        return 1;
    }
    *slot = out;
    return 0;
}

}  // namespace dvk
