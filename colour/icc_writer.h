// A small writer of ICC profiles: a 128-byte header, a tag table and tag data
// in ICC (big-endian) byte order. Tags added with the same data object share
// one copy of the bytes. Used by the camera matrix profile at run time and by
// the build-time generator of the built-in profiles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dvk::icc {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t sig(const char (&s)[5]) {
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
           (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

void put_u16(Bytes& b, std::uint16_t v);
void put_u32(Bytes& b, std::uint32_t v);
void put_sig(Bytes& b, std::uint32_t s);
// round(v x 65536), halves away from zero; saturates at the int32 range.
std::int32_t s15fixed16(double v);
void put_s15f16(Bytes& b, double v);

struct DateTime {
    std::uint16_t year = 2016, month = 7, day = 16, hour = 10, minute = 0, second = 0;
};

struct Header {
    std::uint32_t cmm = 0;
    std::uint32_t version = 0x02200000;
    std::uint32_t device_class = sig("mntr");
    std::uint32_t colour_space = sig("RGB ");
    std::uint32_t pcs = sig("XYZ ");
    DateTime date;
    std::uint32_t platform = 0;
    std::uint32_t flags = 0;
    std::uint32_t manufacturer = 0;
    std::uint32_t model = 0;
    std::uint32_t intent = 0;
    std::int32_t illuminant[3] = {63190, 65536, 54061};   // s15Fixed16 D50
    std::uint32_t creator = 0;
};

// Tag data builders.
Bytes xyz_type(double x, double y, double z);
Bytes xyz_type_fixed(std::int32_t x, std::int32_t y, std::int32_t z);
Bytes curve_gamma(std::uint16_t u8fixed8);              // 'curv' with one entry
Bytes curve_table(const std::vector<std::uint16_t>& t);  // 'curv' with n entries
Bytes parametric_curve(std::uint16_t function, const std::vector<double>& params);
Bytes text_description_ascii(const std::string& text);  // 'desc', ASCII part only
Bytes text_description(const std::string& text);        // 'desc' with empty Unicode and ScriptCode parts
Bytes text_type(const std::string& text);               // 'text'
Bytes multi_localized(const std::string& text);         // 'mluc', enUS
// 'mft2' with identity matrix, 2-entry identity input and output tables and a
// grid of `grid` points per input; `clut` holds grid^in x out entries, first
// input varying slowest.
Bytes lut16(unsigned in_channels, unsigned out_channels, unsigned grid, const std::vector<std::uint16_t>& clut);

class Writer {
public:
    explicit Writer(const Header& h) : header_(h) {}
    // Adds a tag; tags whose data is the same shared object are written once.
    void add(std::uint32_t signature, std::shared_ptr<const Bytes> data);
    void add(std::uint32_t signature, Bytes data) { add(signature, std::make_shared<const Bytes>(std::move(data))); }
    // The whole profile; the size field holds its real length.
    Bytes build() const;

private:
    Header header_;
    std::vector<std::pair<std::uint32_t, std::shared_ptr<const Bytes>>> tags_;
};

}  // namespace dvk::icc
