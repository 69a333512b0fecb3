#include "app/menus/wb_vendor_presets.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "app/menus/wb_preset_table.h"
#include "core/dvklib.h"
#include "platform/log.h"

namespace dvk {

namespace {

bool finite_positive(float v) { return std::isfinite(v) && v > 0; }

// Fields of a line split at runs of blanks.
std::vector<std::string_view> split_fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

std::optional<float> number(std::string_view field) {
    double v = 0;
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
    return static_cast<float>(v);
}

enum class LineKind { RGGB, RGB, RB, Kelvin };

struct KindPattern {
    LineKind kind;
    std::string_view text;  // what the tag name holds
};
constexpr KindPattern kKinds[] = {
    {LineKind::RGGB, "WB_RGGBLevels"},
    {LineKind::RGB, "WB_RGBLevels"},
    {LineKind::RB, "WB_RBLevels"},
    {LineKind::Kelvin, "KelvinWB"},
};

struct InfoLine {
    std::string_view text;
    std::vector<std::string_view> fields;
    std::string_view tag;  // field 0 without its colon
};

// The preset of one line of `kind`; nullopt (logged when its numbers are bad)
// for a line to skip.
std::optional<WhiteBalancePresets> preset_of_line(const std::string& camera, const InfoLine& line,
                                                  const KindPattern& kind) {
    const std::vector<std::string_view>& f = line.fields;
    auto refuse = [&](const char* why) -> std::optional<WhiteBalancePresets> {
        log_line("White-balance preset line refused (%s): %.*s", why, static_cast<int>(line.text.size()),
                 line.text.data());
        return std::nullopt;
    };
    std::vector<float> v;  // fields 1.. as numbers, as far as they are numbers
    for (std::size_t i = 1; i < f.size(); ++i) {
        const std::optional<float> n = number(f[i]);
        if (!n) break;
        v.push_back(*n);
    }
    if (kind.kind == LineKind::Kelvin) {
        if (v.size() < 4) return refuse("needs four numbers");
        if (!finite_positive(v[2]) || !finite_positive(v[3])) return refuse("multipliers must be positive");
        const std::string name = f[1] == "5205" ? std::string("Daylight") : std::string(f[1]) + "K";
        return WhiteBalancePresets::initWithCamera(camera, name, std::log2(v[2]), 0.0f, std::log2(v[3]), 0.0f);
    }
    const std::string name(line.tag.substr(line.tag.find(kind.text) + kind.text.size()));
    if (name.empty()) return std::nullopt;
    float r = 0, g = 0, b = 0, g2 = 0;
    switch (kind.kind) {
        case LineKind::RGGB:
            if (v.size() < 4) return refuse("needs four numbers");
            r = v[0], g = v[1], g2 = v[2], b = v[3];
            break;
        case LineKind::RGB:
            if (v.size() < 3) return refuse("needs three numbers");
            r = v[0], g = v[1], b = v[2], g2 = g;
            break;
        default:  // RB
            if (v.size() < 2) return refuse("needs two numbers");
            r = v[0], b = v[1];
            g = v.size() >= 3 ? v[2] : 256.0f;
            g2 = v.size() >= 4 ? v[3] : g;
            break;
    }
    const std::optional<std::array<float, 4>> ev = wbEvsFromMultipliers(r, g, b, g2);
    if (!ev) return refuse("multipliers must be positive");
    return WhiteBalancePresets::initWithCamera(camera, name, (*ev)[0], (*ev)[1], (*ev)[2], (*ev)[3]);
}

}  // namespace

const char* vendorWbPresetName(int index) {
    static const char* const kLightSources[] = {
        "Unknown",  "Daylight",      "Fluorescent",  "Tungsten",
        "Flash",    "Reserved",      "Reserved",     "Reserved",
        "Reserved", "Fine Weather",  "Cloudy",       "Shade",
        "Daylight Fluorescent",      "Day White Fluorescent",
        "Cool White Fluorescent",    "White Fluorescent",
        "Warm White Fluorescent",    "Illuminant A", "Illuminant B",
        "Illuminant C", "D55",       "D65",          "D75",
        "D50",      "ISO Studio Tungsten",
    };
    if (index >= 0 && index <= 24) return kLightSources[index];
    switch (index) {
        case 64: return "Sunset";
        case 65: return "Underwater";
        case 82: return "Auto";
        case 83: return "Custom";
        case 85: return "Auto1";
        case 86: return "Auto2";
        case 87: return "Auto3";
        case 88: return "Auto4";
        case 90: return "Custom1";
        case 91: return "Custom2";
        case 92: return "Custom3";
        case 93: return "Custom4";
        case 94: return "Custom5";
        case 95: return "Custom6";
        case 110: return "Measured";
        case 255: return "Other";
        default: return "Unknown";
    }
}

std::optional<std::array<float, 4>> wbEvsFromMultipliers(float r, float g, float b, float g2) {
    if (g2 == 0) g2 = g;
    if (!finite_positive(r) || !finite_positive(g) || !finite_positive(b) || !finite_positive(g2))
        return std::nullopt;
    return std::array<float, 4>{std::log2(r / g), 0.0f, std::log2(b / g), std::log2(g2 / g)};
}

WhiteBalancePresetList vendorPresetsFromLibRaw(const std::string& camera, const LibRawWbCoeffs& coeffs) {
    WhiteBalancePresetList presets;
    for (int i = 0; i < 256; ++i) {
        const int* c = coeffs[i];
        if (c[0] == 0 && c[1] == 0 && c[2] == 0 && c[3] == 0) continue;
        const auto ev = wbEvsFromMultipliers(static_cast<float>(c[0]), static_cast<float>(c[1]),
                                             static_cast<float>(c[2]), static_cast<float>(c[3]));
        if (!ev) {
            log_line("White-balance table entry %d (%s) refused: %d %d %d %d", i, vendorWbPresetName(i), c[0], c[1],
                     c[2], c[3]);
            continue;
        }
        presets.push_back(
            WhiteBalancePresets::initWithCamera(camera, vendorWbPresetName(i), (*ev)[0], (*ev)[1], (*ev)[2], (*ev)[3]));
    }
    return presets;
}

const LibRawWbCoeffs* libRawWbCoeffs(const DVKLib* d) {
    if (!d || !d->libraw) return nullptr;
    return &d->libraw->imgdata.color.WB_Coeffs;
}

WhiteBalancePresetList vendorPresetsFromBuiltinTable(const std::string& camera) {
    WhiteBalancePresetList presets;
    for (const BuiltinWbPresetRow& row : builtinWbPresetsFor(camera)) {
        const auto ev = wbEvsFromMultipliers(row.red, row.green, row.blue, row.green2);
        if (ev) presets.push_back(WhiteBalancePresets::initWithCamera(camera, row.name, (*ev)[0], 0.0f, (*ev)[2],
                                                                      (*ev)[3]));
    }
    return presets;
}

WhiteBalancePresetList vendorPresetsFromCameraInfo(const std::string& camera, const std::string& info) {
    std::vector<InfoLine> lines;
    std::string_view rest(info);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        InfoLine line;
        line.text = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        line.fields = split_fields(line.text);
        if (line.fields.empty() || line.fields[0].size() < 2 || line.fields[0].back() != ':') continue;
        line.tag = line.fields[0].substr(0, line.fields[0].size() - 1);
        lines.push_back(std::move(line));
    }
    WhiteBalancePresetList presets;
    for (const KindPattern& kind : kKinds) {
        std::vector<const InfoLine*> of_kind;
        for (const InfoLine& line : lines)
            if (line.tag.find(kind.text) != std::string_view::npos) of_kind.push_back(&line);
        if (of_kind.size() >= 2) presets.clear();
        for (const InfoLine* line : of_kind)
            if (auto preset = preset_of_line(camera, *line, kind)) presets.push_back(std::move(*preset));
    }
    return presets;
}

}  // namespace dvk
