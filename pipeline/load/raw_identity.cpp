// The first reading of a raw file, and its answer as text.
#include "pipeline/load/raw_identity.h"

#include <libraw/libraw.h>

#include <charconv>
#include <memory>
#include <new>

#include "core/libraw_dvk.h"
#include "pipeline/load/declared_size.h"
#include "pipeline/load/load_errors.h"

namespace dvk {

namespace {

constexpr std::string_view kFirstLine = "dvk-probe 1";

// Make and model as one line of text.
std::string one_line(std::string s) {
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

bool parse_int(std::string_view text, int* out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parse_unsigned(std::string_view text, unsigned* out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

int RawIdentity::refusal() const {
    if (open != 0) return open;
    if (raws == 0) return LIBRAW_REQUEST_FOR_NONEXISTENT_IMAGE;
    return size;
}

RawIdentity read_raw_identity(const char* path) {
    RawIdentity id;
    std::uint64_t file_bytes = 0;
    if ((id.open = check_raw_file_access(path, &file_bytes)) != 0) return id;
    std::unique_ptr<LibRaw_DVK> raw(new (std::nothrow) LibRaw_DVK());
    if (!raw) {
        id.open = LIBRAW_UNSUFFICIENT_MEMORY;
        return id;
    }
    if ((id.open = open_failure_code(raw->open_file(path))) != LIBRAW_SUCCESS) return id;
    id.raws = raw->imgdata.idata.raw_count;
    id.camera = one_line(std::string(raw->imgdata.idata.make) + " " + raw->imgdata.idata.model);
    id.size = check_declared_size(*raw, file_bytes, false);
    return id;
}

std::string format_raw_identity(const RawIdentity& id) {
    std::string text(kFirstLine);
    text += "\nopen " + std::to_string(id.open);
    text += "\nraws " + std::to_string(id.raws);
    text += "\ncamera " + one_line(id.camera);
    text += "\nsize " + std::to_string(id.size);
    text += "\nend\n";
    return text;
}

std::optional<RawIdentity> parse_raw_identity(std::string_view text) {
    RawIdentity id;
    bool seen[4] = {false, false, false, false};
    bool first = true;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        if (eol == std::string_view::npos) return std::nullopt;  // cut off
        const std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol + 1);
        if (first) {
            if (line != kFirstLine) return std::nullopt;
            first = false;
            continue;
        }
        if (line == "end") {
            if (!text.empty() || !(seen[0] && seen[1] && seen[2] && seen[3])) return std::nullopt;
            return id;
        }
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos) return std::nullopt;
        const std::string_view key = line.substr(0, space), value = line.substr(space + 1);
        // Each key once.
        auto take = [&](int slot, auto parse) {
            if (seen[slot]) return false;
            seen[slot] = true;
            return parse();
        };
        bool ok = false;
        if (key == "open")
            ok = take(0, [&] { return parse_int(value, &id.open); });
        else if (key == "raws")
            ok = take(1, [&] { return parse_unsigned(value, &id.raws); });
        else if (key == "camera")
            ok = take(2, [&] {
                id.camera = std::string(value);
                return true;
            });
        else if (key == "size")
            ok = take(3, [&] { return parse_int(value, &id.size); });
        if (!ok) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace dvk
