#include "colour/icc_writer.h"

#include <cmath>
#include <limits>

namespace dvk::icc {

void put_u16(Bytes& b, std::uint16_t v) {
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}

void put_u32(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v >> 24));
    b.push_back(std::uint8_t(v >> 16));
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}

void put_sig(Bytes& b, std::uint32_t s) { put_u32(b, s); }

std::int32_t s15fixed16(double v) {
    if (!std::isfinite(v)) return 0;
    double r = std::round(v * 65536.0);  // std::round rounds halves away from zero
    if (r > double(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
    if (r < double(std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(r);
}

void put_s15f16(Bytes& b, double v) { put_u32(b, std::uint32_t(s15fixed16(v))); }

Bytes xyz_type_fixed(std::int32_t x, std::int32_t y, std::int32_t z) {
    Bytes b;
    put_sig(b, sig("XYZ "));
    put_u32(b, 0);
    put_u32(b, std::uint32_t(x));
    put_u32(b, std::uint32_t(y));
    put_u32(b, std::uint32_t(z));
    return b;
}

Bytes xyz_type(double x, double y, double z) { return xyz_type_fixed(s15fixed16(x), s15fixed16(y), s15fixed16(z)); }

Bytes curve_gamma(std::uint16_t u8fixed8) {
    Bytes b;
    put_sig(b, sig("curv"));
    put_u32(b, 0);
    put_u32(b, 1);
    put_u16(b, u8fixed8);
    return b;
}

Bytes curve_table(const std::vector<std::uint16_t>& t) {
    Bytes b;
    put_sig(b, sig("curv"));
    put_u32(b, 0);
    put_u32(b, std::uint32_t(t.size()));
    for (std::uint16_t v : t) put_u16(b, v);
    return b;
}

Bytes parametric_curve(std::uint16_t function, const std::vector<double>& params) {
    Bytes b;
    put_sig(b, sig("para"));
    put_u32(b, 0);
    put_u16(b, function);
    put_u16(b, 0);
    for (double p : params) put_s15f16(b, p);
    return b;
}

Bytes text_description_ascii(const std::string& text) {
    Bytes b;
    put_sig(b, sig("desc"));
    put_u32(b, 0);
    put_u32(b, std::uint32_t(text.size() + 1));
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}

Bytes text_description(const std::string& text) {
    Bytes b = text_description_ascii(text);
    put_u32(b, 0);  // Unicode language code
    put_u32(b, 0);  // Unicode count
    put_u16(b, 0);  // ScriptCode code
    b.push_back(0); // ScriptCode count
    b.insert(b.end(), 67, 0);
    return b;
}

Bytes text_type(const std::string& text) {
    Bytes b;
    put_sig(b, sig("text"));
    put_u32(b, 0);
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}

Bytes multi_localized(const std::string& text) {
    Bytes b;
    put_sig(b, sig("mluc"));
    put_u32(b, 0);
    put_u32(b, 1);   // one record
    put_u32(b, 12);  // record size
    put_u16(b, std::uint16_t(('e' << 8) | 'n'));
    put_u16(b, std::uint16_t(('U' << 8) | 'S'));
    put_u32(b, std::uint32_t(text.size() * 2));
    put_u32(b, 28);
    for (unsigned char c : text) put_u16(b, c);
    return b;
}

Bytes lut16(unsigned in_channels, unsigned out_channels, unsigned grid, const std::vector<std::uint16_t>& clut) {
    Bytes b;
    put_sig(b, sig("mft2"));
    put_u32(b, 0);
    b.push_back(std::uint8_t(in_channels));
    b.push_back(std::uint8_t(out_channels));
    b.push_back(std::uint8_t(grid));
    b.push_back(0);
    for (int i = 0; i < 9; ++i) put_s15f16(b, (i % 4 == 0) ? 1.0 : 0.0);
    put_u16(b, 2);  // input table entries
    put_u16(b, 2);  // output table entries
    for (unsigned c = 0; c < in_channels; ++c) {
        put_u16(b, 0);
        put_u16(b, 0xFFFF);
    }
    for (std::uint16_t v : clut) put_u16(b, v);
    for (unsigned c = 0; c < out_channels; ++c) {
        put_u16(b, 0);
        put_u16(b, 0xFFFF);
    }
    return b;
}

void Writer::add(std::uint32_t signature, std::shared_ptr<const Bytes> data) {
    if (data) tags_.emplace_back(signature, std::move(data));
}

Bytes Writer::build() const {
    Bytes out;
    out.reserve(1024);
    const Header& h = header_;
    put_u32(out, 0);  // size, filled in below
    put_sig(out, h.cmm);
    put_u32(out, h.version);
    put_sig(out, h.device_class);
    put_sig(out, h.colour_space);
    put_sig(out, h.pcs);
    put_u16(out, h.date.year);
    put_u16(out, h.date.month);
    put_u16(out, h.date.day);
    put_u16(out, h.date.hour);
    put_u16(out, h.date.minute);
    put_u16(out, h.date.second);
    put_sig(out, sig("acsp"));
    put_sig(out, h.platform);
    put_u32(out, h.flags);
    put_sig(out, h.manufacturer);
    put_u32(out, h.model);
    put_u32(out, 0);  // attributes
    put_u32(out, 0);
    put_u32(out, h.intent);
    for (std::int32_t v : h.illuminant) put_u32(out, std::uint32_t(v));
    put_sig(out, h.creator);
    out.resize(128, 0);

    put_u32(out, std::uint32_t(tags_.size()));
    std::size_t table = out.size();
    out.resize(table + 12 * tags_.size(), 0);
    std::vector<std::pair<const Bytes*, std::size_t>> written;
    for (std::size_t i = 0; i < tags_.size(); ++i) {
        const Bytes* data = tags_[i].second.get();
        std::size_t offset = 0;
        for (const auto& w : written)
            if (w.first == data) offset = w.second;
        if (offset == 0) {
            while (out.size() % 4) out.push_back(0);
            offset = out.size();
            out.insert(out.end(), data->begin(), data->end());
            written.emplace_back(data, offset);
        }
        std::uint8_t* e = out.data() + table + 12 * i;
        Bytes entry;
        put_sig(entry, tags_[i].first);
        put_u32(entry, std::uint32_t(offset));
        put_u32(entry, std::uint32_t(data->size()));
        std::copy(entry.begin(), entry.end(), e);
    }
    std::uint32_t size = std::uint32_t(out.size());
    out[0] = std::uint8_t(size >> 24);
    out[1] = std::uint8_t(size >> 16);
    out[2] = std::uint8_t(size >> 8);
    out[3] = std::uint8_t(size);
    return out;
}

}  // namespace dvk::icc
