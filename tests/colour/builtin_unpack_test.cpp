#define OPENSSL_SUPPRESS_DEPRECATED 1

#include <gtest/gtest.h>
#include <lzma.h>
#include <openssl/blowfish.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "colour/builtin_profiles.h"
#include "tests/colour/builtin_index.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"

namespace dvk {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using Bytes = std::vector<unsigned char>;

Bytes lzma_alone(const Bytes& in) {
    lzma_options_lzma opt;
    lzma_lzma_preset(&opt, 1);
    lzma_stream s = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_alone_encoder(&s, &opt), LZMA_OK);
    Bytes out(in.size() + 1024);
    s.next_in = in.data();
    s.avail_in = in.size();
    s.next_out = out.data();
    s.avail_out = out.size();
    EXPECT_EQ(lzma_code(&s, LZMA_FINISH), LZMA_STREAM_END);
    out.resize(s.total_out);
    lzma_end(&s);
    return out;
}

// Enciphers `stream` the way the build packs profiles: Blowfish over
// big-endian 8-byte blocks, then the stream length as a big-endian trailer.
Bytes pack(const Bytes& stream, const std::string& key, std::uint32_t trailer) {
    Bytes body = stream;
    body.resize((body.size() + 7) / 8 * 8, 0);
    BF_KEY schedule;
    BF_set_key(&schedule, int(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
    for (std::size_t o = 0; o < body.size(); o += 8) {
        BF_LONG b[2];
        for (int h = 0; h < 2; ++h)
            b[h] = (static_cast<BF_LONG>(body[o + 4 * h]) << 24) | (static_cast<BF_LONG>(body[o + 4 * h + 1]) << 16) |
                   (static_cast<BF_LONG>(body[o + 4 * h + 2]) << 8) | static_cast<BF_LONG>(body[o + 4 * h + 3]);
        BF_encrypt(b, &schedule);
        for (int h = 0; h < 2; ++h)
            for (int k = 0; k < 4; ++k) body[o + 4 * h + k] = static_cast<unsigned char>(b[h] >> (24 - 8 * k));
    }
    for (int k = 0; k < 4; ++k) body.push_back(static_cast<unsigned char>(trailer >> (24 - 8 * k)));
    return body;
}

const std::string kKey(64, '\xA5');

Bytes sample_bytes() {
    Bytes b(3000);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>((i * 7) ^ (i >> 3));
    return b;
}

TEST(UnpackBuiltinProfile, RoundTripOfAPackedStream) {
    const Bytes plain = sample_bytes();
    const Bytes stream = lzma_alone(plain);
    const Bytes blob = pack(stream, kKey, std::uint32_t(stream.size()));
    void* slot = nullptr;
    ASSERT_EQ(unpack_builtin_profile(&slot, blob.data(), unsigned(blob.size()), unsigned(plain.size()), kKey.c_str()),
              0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(std::memcmp(slot, plain.data(), plain.size()), 0);
    EXPECT_EQ(static_cast<unsigned char*>(slot)[plain.size()], 0);  // the extra byte
    // A filled slot is kept: no second unpack.
    void* first = slot;
    EXPECT_EQ(unpack_builtin_profile(&slot, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(slot, first);
    std::free(slot);
}

TEST(UnpackBuiltinProfile, SharedBlobUnpacksOnce) {
    const BuiltinProfileEntry& a = builtin_profiles[test::builtin_index_of("Canon 10D")];
    const BuiltinProfileEntry& b = builtin_profiles[test::builtin_index_of("Canon 300D")];
    ASSERT_EQ(unpack_builtin_profile(a.slot, a.packed, a.packed_size, a.length, a.unpack_param), 0);
    void* after_first = *a.slot;
    ASSERT_EQ(unpack_builtin_profile(b.slot, b.packed, b.packed_size, b.length, b.unpack_param), 0);
    EXPECT_EQ(*b.slot, after_first);
    EXPECT_EQ(getDVKProfileRef("Canon 300D", nullptr)->bytes(), getDVKProfileRef("Canon 10D", nullptr)->bytes());
}

TEST(DecipherProfileBlob, TrailerLargerThanTheBlobGives256Bytes) {
    const Bytes stream = lzma_alone(sample_bytes());
    Bytes blob = pack(Bytes(stream.begin(), stream.begin() + 16), kKey, 0xFFFFFFF0u);
    void* out = nullptr;
    EXPECT_EQ(decipher_profile_blob(&out, blob.data(), unsigned(blob.size()), kKey.c_str()), 256u);
    ASSERT_NE(out, nullptr);
    const auto* p = static_cast<unsigned char*>(out);
    EXPECT_EQ(std::memcmp(p, stream.data(), 16), 0);  // the two blocks there are, deciphered
    for (int i = 16; i < 256; ++i) EXPECT_EQ(p[i], 0) << i;
    std::free(out);
}

TEST(DecipherProfileBlob, LastPartialBlockIsCutToTheLength) {
    const Bytes stream = lzma_alone(sample_bytes());
    Bytes blob = pack(stream, kKey, 21);  // 21 bytes of three blocks
    void* out = nullptr;
    EXPECT_EQ(decipher_profile_blob(&out, blob.data(), unsigned(blob.size()), kKey.c_str()), 21u);
    EXPECT_EQ(std::memcmp(out, stream.data(), 21), 0);
    std::free(out);
}

TEST(UnpackBuiltinProfile, TruncatedStreamFailsCleanlyAndLeavesTheLockFree) {
    const Bytes plain = sample_bytes();
    const Bytes stream = lzma_alone(plain);
    const Bytes cut(stream.begin(), stream.begin() + long(stream.size() / 2));
    const Bytes blob = pack(cut, kKey, std::uint32_t(cut.size()));
    void* slot = nullptr;
    CaptureStderr();
    EXPECT_NE(unpack_builtin_profile(&slot, blob.data(), unsigned(blob.size()), unsigned(plain.size()), kKey.c_str()),
              0);
    EXPECT_EQ(GetCapturedStderr(), "Profile decoding error\n");
    EXPECT_EQ(slot, nullptr);
    // The lock was released: the whole blob unpacks into the same slot now.
    const Bytes good = pack(stream, kKey, std::uint32_t(stream.size()));
    EXPECT_EQ(unpack_builtin_profile(&slot, good.data(), unsigned(good.size()), unsigned(plain.size()), kKey.c_str()),
              0);
    ASSERT_NE(slot, nullptr);
    std::free(slot);
}

TEST(UnpackBuiltinProfile, BadPropertiesAreReported) {
    Bytes stream = lzma_alone(sample_bytes());
    stream[0] = 0xFF;  // lc/lp/pb out of range
    const Bytes blob = pack(stream, kKey, std::uint32_t(stream.size()));
    void* slot = nullptr;
    CaptureStderr();
    EXPECT_NE(unpack_builtin_profile(&slot, blob.data(), unsigned(blob.size()), 3000, kKey.c_str()), 0);
    EXPECT_EQ(GetCapturedStderr(), "Incorrect stream properties\n");
    EXPECT_EQ(slot, nullptr);
}

TEST(UnpackBuiltinProfile, MalformedBlobsAreRefusedWithoutReadingPastThem) {
    const Bytes stream = lzma_alone(sample_bytes());
    const Bytes good = pack(stream, kKey, std::uint32_t(stream.size()));
    void* slot = nullptr;
    // Too short for one block and the trailer.
    Bytes tiny(good.begin(), good.begin() + 8);
    CaptureStderr();
    EXPECT_NE(unpack_builtin_profile(&slot, tiny.data(), unsigned(tiny.size()), 3000, kKey.c_str()), 0);
    // A trailer below the 13 bytes of the stream header.
    Bytes short_trailer = pack(stream, kKey, 12);
    EXPECT_NE(unpack_builtin_profile(&slot, short_trailer.data(), unsigned(short_trailer.size()), 3000, kKey.c_str()),
              0);
    // A body that is not whole blocks (one byte cut before the trailer).
    Bytes ragged = good;
    ragged.erase(ragged.end() - 5);
    EXPECT_NE(unpack_builtin_profile(&slot, ragged.data(), unsigned(ragged.size()), 3000, kKey.c_str()), 0);
    // Key material with no zero byte within what a key can use.
    std::vector<char> endless(200, '\x9C');
    endless.push_back('\0');
    EXPECT_NE(unpack_builtin_profile(&slot, good.data(), unsigned(good.size()), 3000, endless.data()), 0);
    EXPECT_EQ(GetCapturedStderr(),
              "Profile decoding error\nProfile decoding error\nProfile decoding error\nProfile decoding error\n");
    EXPECT_EQ(slot, nullptr);
}

}  // namespace
}  // namespace dvk
