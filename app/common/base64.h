// Base64 text (RFC 4648 alphabet, '=' padding, no line breaks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dvk {

// Nothing for no bytes.
std::optional<std::string> encodeBase64WithData(const std::uint8_t* data, std::size_t size);
// The UTF-8 bytes of `text` (nothing for the empty text).
std::optional<std::string> encodeBase64WithString(std::string_view text);

}  // namespace dvk
