#include "app/common/base64.h"

namespace dvk {

std::optional<std::string> encodeBase64WithData(const std::uint8_t* data, std::size_t size) {
    if (!data || size == 0) return std::nullopt;
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < size; i += 3) {
        const std::uint32_t v = (std::uint32_t(data[i]) << 16) | (std::uint32_t(data[i + 1]) << 8) | data[i + 2];
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i < size) {
        const bool two = i + 1 < size;
        const std::uint32_t v = (std::uint32_t(data[i]) << 16) | (two ? std::uint32_t(data[i + 1]) << 8 : 0u);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += two ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> encodeBase64WithString(std::string_view text) {
    return encodeBase64WithData(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace dvk
