// The built-in profile table: 220 named entries in a fixed order (the index is
// part of the interface). Plain entries point at ICC bytes; packed entries hold
// an enciphered LZMA stream that unpack_builtin_profile turns into ICC bytes in
// the entry's process-wide slot on first use. The data is generated at build
// time (tools/dvk-profile-gen).
#pragma once

#include <cstdint>

namespace dvk {

struct BuiltinProfileEntry {
    const char* name;
    const void* data;          // plain entries: the ICC bytes
    void** slot;               // packed entries: where the unpacked bytes go (null until unpacked)
    const void* packed;        // the packed blob, or null
    std::uint32_t packed_size;
    std::uint32_t length;      // ICC byte length (plain or unpacked); 0 when none
    const char* unpack_param;  // key material of the packed blob
    float saturation;          // extra chroma saturation of camera profiles
};

inline constexpr unsigned kBuiltinProfileCount = 220;
inline constexpr unsigned kDefaultProfileIndex = 219;
inline constexpr unsigned kBuiltinProfileIndexBuiltIn = 2;

extern const BuiltinProfileEntry builtin_profiles[kBuiltinProfileCount];

// Deciphers `packed` into a new buffer of n bytes (n from the blob's trailer,
// 256 when the trailer exceeds the blob); *out receives the buffer (free with
// std::free), null when n is 0 or memory is short. Reads only whole blocks
// inside the blob.
unsigned decipher_profile_blob(void** out, const void* packed, unsigned packed_size, const char* key);

// Unpacks a packed entry into *slot (length + 1 bytes, the last 0); 0 when
// *slot holds the profile (also when it already did), non-zero on failure with
// *slot left null. Serialised by one process-wide lock.
int unpack_builtin_profile(void** slot, const void* packed, unsigned packed_size, unsigned length,
                           const char* unpack_param);

}  // namespace dvk
