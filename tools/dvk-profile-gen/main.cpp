// dvk-profile-gen: makes the built-in profile table at build time.
//
//   dvk-profile-gen TABLE.tsv CAMERAS.tsv OUT.cpp UPLAB.icc
//
// Reads the table rows and the camera-to-LibRaw mapping, makes every profile,
// packs rows 14 to 218 (LZMA alone layout, then Blowfish with per-entry key
// material) and writes the C++ source of the table and the UPLab resource.
// The output is the same on every run.
#define OPENSSL_SUPPRESS_DEPRECATED 1

#include <libraw/libraw.h>
#include <lzma.h>
#include <openssl/blowfish.h>
#include <openssl/sha.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "colour/camera_matrix.h"
#include "profiles.h"

namespace {

using gen::Bytes;

struct Row {
    std::string name, kind, shares;
    float saturation = 0;
};

std::vector<std::vector<std::string>> read_tsv(const char* path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error(std::string("cannot read ") + path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string c;
        while (std::getline(ss, c, '\t')) cols.push_back(c);
        rows.push_back(cols);
    }
    return rows;
}

unsigned maker_index(const std::string& maker) {
    static const std::map<std::string, unsigned> makers = {
        {"Canon", LIBRAW_CAMERAMAKER_Canon},     {"Nikon", LIBRAW_CAMERAMAKER_Nikon},
        {"Fujifilm", LIBRAW_CAMERAMAKER_Fujifilm}, {"Sony", LIBRAW_CAMERAMAKER_Sony},
        {"Minolta", LIBRAW_CAMERAMAKER_Minolta}, {"Pentax", LIBRAW_CAMERAMAKER_Pentax},
        {"Leica", LIBRAW_CAMERAMAKER_Leica},     {"Olympus", LIBRAW_CAMERAMAKER_Olympus},
        {"Panasonic", LIBRAW_CAMERAMAKER_Panasonic}, {"Samsung", LIBRAW_CAMERAMAKER_Samsung},
        {"Kodak", LIBRAW_CAMERAMAKER_Kodak},     {"Epson", LIBRAW_CAMERAMAKER_Epson},
        {"Leaf", LIBRAW_CAMERAMAKER_Leaf},       {"Mamiya", LIBRAW_CAMERAMAKER_Mamiya},
        {"Hasselblad", LIBRAW_CAMERAMAKER_Hasselblad}, {"PhaseOne", LIBRAW_CAMERAMAKER_PhaseOne},
        {"Sigma", LIBRAW_CAMERAMAKER_Sigma},     {"Ricoh", LIBRAW_CAMERAMAKER_Ricoh},
    };
    auto it = makers.find(maker);
    if (it == makers.end()) throw std::runtime_error("unknown maker " + maker);
    return it->second;
}

// The generic camera for entries without a LibRaw matrix: a sensor whose
// channels are linear sRGB (XYZ D65 to linear sRGB, IEC 61966-2-1).
const double kGenericCamXyz[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                                     {-0.9692660, 1.8760108, 0.0415560},
                                     {0.0556434, -0.2040259, 1.0572252}};

Bytes camera_profile(const std::string& name, const std::string& maker, const std::string& model) {
    double cam[3][3];
    std::string source;
    bool found = false;
    if (maker != "generic") {
        LibRaw raw;
        raw.imgdata.idata.colors = 3;
        raw.adobe_coeff(maker_index(maker), model.c_str(), 0);
        if (raw.imgdata.color.cam_xyz[0][0] != 0) {
            for (int c = 0; c < 3; ++c)
                for (int k = 0; k < 3; ++k) cam[c][k] = raw.imgdata.color.cam_xyz[c][k];
            source = "LibRaw's colour matrix of the " + maker + " " + model;
            found = true;
        } else {
            std::cerr << "dvk-profile-gen: no LibRaw matrix for " << maker << " " << model << " (" << name
                      << "), using the generic camera\n";
        }
    }
    if (!found) {
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k) cam[c][k] = kGenericCamXyz[c][k];
        source = "DVK's generic camera (linear sRGB channels)";
    }
    double kmat[9], r[9];
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k) kmat[c + 3 * k] = cam[c][k];
    if (const char* why = dvk::camera_rgb_to_xyz_d50(kmat, r)) throw std::runtime_error(name + ": " + why);
    return dvk::camera_matrix_icc_bytes(name, r, "Made by DVK from " + source + "; no rights reserved.");
}

Bytes lzma_alone(const Bytes& in) {
    lzma_options_lzma opt;
    lzma_lzma_preset(&opt, 6);
    lzma_stream s = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&s, &opt) != LZMA_OK) throw std::runtime_error("lzma encoder");
    Bytes out(in.size() + in.size() / 2 + 1024);
    s.next_in = in.data();
    s.avail_in = in.size();
    s.next_out = out.data();
    s.avail_out = out.size();
    lzma_ret r = lzma_code(&s, LZMA_FINISH);
    if (r != LZMA_STREAM_END) throw std::runtime_error("lzma encoding failed");
    out.resize(s.total_out);
    lzma_end(&s);
    return out;
}

// Key material: 62 to 65 bytes of 0x80..0xFF from SHA-256 of the entry
// name, then a zero byte and three bytes that are never used.
std::string key_material(const std::string& name) {
    std::string key;
    unsigned counter = 0;
    while (key.size() < 70) {
        std::string seed = "DVK profile key " + name + " " + std::to_string(counter++);
        unsigned char d[SHA256_DIGEST_LENGTH];
        SHA256(reinterpret_cast<const unsigned char*>(seed.data()), seed.size(), d);
        for (unsigned char c : d) key.push_back(char(c | 0x80));
    }
    const std::size_t len = 62 + std::size_t(static_cast<unsigned char>(key[0]) % 4);
    std::string out = key.substr(0, len);
    out.push_back('\0');
    out += key.substr(len, 3);
    return out;
}

Bytes pack(const Bytes& profile, const std::string& key) {
    Bytes stream = lzma_alone(profile);
    const std::uint32_t n = std::uint32_t(stream.size());
    Bytes body = stream;
    body.resize((body.size() + 7) / 8 * 8, 0);
    BF_KEY schedule;
    BF_set_key(&schedule, int(std::strlen(key.c_str())), reinterpret_cast<const unsigned char*>(key.data()));
    for (std::size_t o = 0; o < body.size(); o += 8) {
        BF_LONG block[2];
        for (int h = 0; h < 2; ++h)
            block[h] = (static_cast<BF_LONG>(body[o + 4 * h]) << 24) | (static_cast<BF_LONG>(body[o + 4 * h + 1]) << 16) |
                       (static_cast<BF_LONG>(body[o + 4 * h + 2]) << 8) | static_cast<BF_LONG>(body[o + 4 * h + 3]);
        BF_encrypt(block, &schedule);
        for (int h = 0; h < 2; ++h)
            for (int b = 0; b < 4; ++b) body[o + 4 * h + b] = std::uint8_t(block[h] >> (24 - 8 * b));
    }
    dvk::icc::put_u32(body, n);
    return body;
}

// Writes bytes as a string literal (much faster to compile than a list of
// numbers); the array has one terminating zero more than `n`.
void write_bytes(std::ostream& out, const std::string& ident, const std::uint8_t* data, std::size_t n) {
    out << "alignas(16) const unsigned char " << ident << "[" << n + 1 << "] =\n\"";
    char buf[8];
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = data[i];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
            out << char(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out << buf;
        }
        if (i % 64 == 63 && i + 1 < n) out << "\"\n\"";
    }
    out << "\";\n";
}

std::string c_string(const std::string& s) {
    std::string o = "\"";
    char buf[8];
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            o += '\\';
            o += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            o += char(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            o += buf;
        }
    }
    return o + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: dvk-profile-gen TABLE.tsv CAMERAS.tsv OUT.cpp UPLAB.icc\n";
        return 2;
    }
    try {
        std::vector<Row> rows;
        for (auto& c : read_tsv(argv[1])) {
            if (c.size() != 4) throw std::runtime_error("bad table row");
            rows.push_back({c[0], c[1], c[3], std::stof(c[2])});
        }
        if (rows.size() != 220) throw std::runtime_error("the table must have 220 rows");
        std::map<std::string, std::pair<std::string, std::string>> cameras;
        for (auto& c : read_tsv(argv[2])) {
            if (c.size() != 3) throw std::runtime_error("bad camera row");
            cameras[c[0]] = {c[1], c[2]};
        }

        std::ostringstream data;
        data << "// Generated by dvk-profile-gen; do not edit.\n#include \"colour/builtin_profiles.h\"\n\n"
                "namespace dvk {\nnamespace {\n";
        std::map<std::string, std::size_t> index_of;
        std::vector<std::uint32_t> lengths(rows.size(), 0);
        std::vector<std::size_t> packed_sizes(rows.size(), 0);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            index_of[r.name] = i;
            std::string entry;
            if (r.kind == "lab" || r.kind == "uplab" || r.kind == "builtin") {
                entry = "nullptr, nullptr, nullptr, 0, 0, nullptr";
            } else if (r.kind == "default") {
                std::size_t j = index_of.at(r.shares);
                entry = "plain_" + std::to_string(j) + ", nullptr, nullptr, 0, " + std::to_string(lengths[j]) + ", nullptr";
                lengths[i] = lengths[j];
            } else if (r.kind == "plain") {
                Bytes b = gen::plain_profile(r.name);
                write_bytes(data, "plain_" + std::to_string(i), b.data(), b.size());
                lengths[i] = std::uint32_t(b.size());
                entry = "plain_" + std::to_string(i) + ", nullptr, nullptr, 0, " + std::to_string(b.size()) + ", nullptr";
            } else {
                std::size_t owner = r.shares == "-" ? i : index_of.at(r.shares);
                if (owner == i) {
                    Bytes b;
                    if (r.kind == "rgblook") {
                        b = gen::rgb_look_profile(r.name);
                    } else if (r.kind == "lablook") {
                        b = gen::lab_look_profile(r.name);
                    } else if (r.kind == "camera") {
                        auto it = cameras.find(r.name);
                        if (it == cameras.end()) throw std::runtime_error("no camera mapping for " + r.name);
                        std::string desc = r.name;
                        for (const Row& o : rows)
                            if (o.shares == r.name) desc += " / " + o.name;
                        b = camera_profile(desc, it->second.first, it->second.second);
                    } else {
                        throw std::runtime_error("unknown kind " + r.kind);
                    }
                    const std::string key = key_material(r.name);
                    Bytes packed = pack(b, key);
                    const std::string id = std::to_string(i);
                    write_bytes(data, "packed_" + id, packed.data(), packed.size());
                    data << "const char key_" << id << "[] = " << c_string(key.substr(0, key.size() - 4))
                         << " \"\\0\" " << c_string(key.substr(key.size() - 3)) << ";\n";
                    data << "void* slot_" << id << " = nullptr;\n";
                    lengths[i] = std::uint32_t(b.size());
                    packed_sizes[i] = packed.size();
                    std::ostringstream e;
                    e << "nullptr, &slot_" << id << ", packed_" << id << ", " << packed.size() << ", " << b.size()
                      << ", key_" << id;
                    entry = e.str();
                } else {
                    const std::string id = std::to_string(owner);
                    lengths[i] = lengths[owner];
                    std::ostringstream e;
                    e << "nullptr, &slot_" << id << ", packed_" << id << ", " << packed_sizes[owner] << ", "
                      << lengths[owner] << ", key_" << id;
                    entry = e.str();
                }
            }
            data << "#define ENTRY_" << i << " {" << c_string(r.name) << ", " << entry << ", " << std::to_string(r.saturation)
                 << "f}\n";
        }
        data << "}  // namespace\n\nconst BuiltinProfileEntry builtin_profiles[kBuiltinProfileCount] = {\n";
        for (std::size_t i = 0; i < rows.size(); ++i) data << "    ENTRY_" << i << ",\n";
        data << "};\n\n}  // namespace dvk\n";

        std::ofstream out(argv[3], std::ios::binary);
        out << data.str();
        if (!out) throw std::runtime_error(std::string("cannot write ") + argv[3]);
        Bytes up = gen::uplab_profile();
        std::ofstream icc(argv[4], std::ios::binary);
        icc.write(reinterpret_cast<const char*>(up.data()), std::streamsize(up.size()));
        if (!icc) throw std::runtime_error(std::string("cannot write ") + argv[4]);
    } catch (const std::exception& e) {
        std::cerr << "dvk-profile-gen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
