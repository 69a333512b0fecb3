#include "pipeline/settings/settings_value.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>

namespace dvk {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view skip_white(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && is_blank(t[i])) ++i;
    return t.substr(i);
}

// The number text after leading white space and an optional sign; *negative
// says whether the sign was a minus.
std::string_view unsigned_part(std::string_view text, bool* negative) {
    std::string_view t = skip_white(text);
    *negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        *negative = t[0] == '-';
        t.remove_prefix(1);
    }
    return t;
}

int clamp_to_int(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

int double_to_int(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 2147483647.0) return INT_MAX;
    if (d <= -2147483648.0) return INT_MIN;
    return static_cast<int>(d);
}

}  // namespace

std::string format_double(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

namespace {

// For a decimal number text that is out of the double range: whether its
// magnitude is at least 1 (too large) rather than below it (too small).
bool at_least_one(std::string_view t) {
    const std::size_t e = t.find_first_of("eE");
    const std::string_view mantissa = t.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        bool negative;
        std::string_view digits = unsigned_part(t.substr(e + 1), &negative);
        for (char c : digits) {
            if (c < '0' || c > '9') break;
            exponent = std::min(exponent * 10 + (c - '0'), 1000000000LL);
        }
        if (negative) exponent = -exponent;
    }
    // The power of ten of the first significant digit, plus one.
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    for (std::size_t i = 0; i < mantissa.size(); ++i) {
        if (mantissa[i] < '1' || mantissa[i] > '9') continue;
        const long long place = i < point ? static_cast<long long>(point - i) : -static_cast<long long>(i - point - 1);
        return place + exponent > 0;
    }
    return false;
}

}  // namespace

double parse_leading_double(std::string_view text, bool* found) {
    bool negative;
    const std::string_view t = unsigned_part(text, &negative);
    double v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    bool ok = r.ec == std::errc() || r.ec == std::errc::result_out_of_range;
    if (r.ec == std::errc::result_out_of_range) {
        // Too large gives infinity (refused by the setters' callers); too
        // small gives zero.
        const std::string_view digits(t.data(), static_cast<std::size_t>(r.ptr - t.data()));
        v = at_least_one(digits) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (found) *found = ok;
    if (!ok) return 0;
    return negative ? -v : v;
}

std::optional<double> parse_number_text(std::string_view text, bool commaIsPoint) {
    std::string_view t = skip_white(text);
    while (!t.empty() && is_blank(t.back())) t.remove_suffix(1);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.empty() || t[0] == '+' || t[0] == '-') return std::nullopt;
    std::string copy;
    if (commaIsPoint && t.find(',') != std::string_view::npos) {
        copy.assign(t);
        for (char& c : copy)
            if (c == ',') c = '.';
        t = copy;
    }
    double v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (r.ptr != t.data() + t.size()) return std::nullopt;
    if (r.ec == std::errc::result_out_of_range)
        v = at_least_one(t) ? std::numeric_limits<double>::infinity() : 0.0;
    else if (r.ec != std::errc())
        return std::nullopt;
    return negative ? -v : v;
}

std::int64_t parse_leading_integer(std::string_view text) {
    bool negative;
    const std::string_view t = unsigned_part(text, &negative);
    std::int64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') break;
        if (v > (std::numeric_limits<std::int64_t>::max() - 9) / 10) {
            v = std::numeric_limits<std::int64_t>::max();
            break;
        }
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

bool SettingsValue::bool_value() const {
    switch (kind()) {
    case Kind::Null: return false;
    case Kind::Bool: return std::get<bool>(v_);
    case Kind::Int: return std::get<std::int64_t>(v_) != 0;
    case Kind::Double: return std::get<double>(v_) != 0;
    case Kind::String: {
        bool negative;
        std::string_view t = unsigned_part(std::get<std::string>(v_), &negative);
        while (!t.empty() && t[0] == '0') t.remove_prefix(1);
        if (t.empty()) return false;
        char c = t[0];
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    }
    return false;
}

std::int64_t SettingsValue::int64_value() const {
    switch (kind()) {
    case Kind::Null: return 0;
    case Kind::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Kind::Int: return std::get<std::int64_t>(v_);
    case Kind::Double: {
        double d = std::get<double>(v_);
        if (std::isnan(d)) return 0;
        if (d >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
        if (d <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(d);
    }
    case Kind::String: return parse_leading_integer(std::get<std::string>(v_));
    }
    return 0;
}

int SettingsValue::int_value() const {
    if (kind() == Kind::Double) return double_to_int(std::get<double>(v_));
    return clamp_to_int(int64_value());
}

double SettingsValue::double_value() const {
    switch (kind()) {
    case Kind::Null: return 0;
    case Kind::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Kind::Int: return static_cast<double>(std::get<std::int64_t>(v_));
    case Kind::Double: return std::get<double>(v_);
    case Kind::String: return parse_leading_double(std::get<std::string>(v_));
    }
    return 0;
}

std::string SettingsValue::description() const {
    switch (kind()) {
    case Kind::Null: return "";
    case Kind::Bool: return std::get<bool>(v_) ? "1" : "0";
    case Kind::Int: return std::to_string(std::get<std::int64_t>(v_));
    case Kind::Double: return format_double(std::get<double>(v_));
    case Kind::String: return std::get<std::string>(v_);
    }
    return "";
}

namespace {

std::size_t key_hash(std::string_view key) { return std::hash<std::string_view>{}(key); }

}  // namespace

std::optional<std::size_t> SettingsDictionary::position(std::string_view key) const {
    if (slots_.empty()) {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].first == key) return i;
        return std::nullopt;
    }
    const std::size_t hash = key_hash(key), mask = slots_.size() - 1;
    for (std::size_t i = hash & mask; slots_[i].position != 0; i = (i + 1) & mask)
        if (slots_[i].hash == hash && entries_[slots_[i].position - 1].first == key) return slots_[i].position - 1;
    return std::nullopt;
}

void SettingsDictionary::insertSlot(std::size_t hash, std::size_t position) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].position != 0) i = (i + 1) & mask;
    slots_[i] = {hash, position + 1};
}

void SettingsDictionary::reindex() {
    slots_.clear();
    if (entries_.size() < kIndexedFrom) return;
    std::size_t size = 64;
    while (size < 2 * entries_.size()) size *= 2;
    slots_.assign(size, Slot{});
    for (std::size_t i = 0; i < entries_.size(); ++i) insertSlot(key_hash(entries_[i].first), i);
}

void SettingsDictionary::set(std::string key, SettingsValue value) {
    if (const std::optional<std::size_t> at = position(key)) {
        entries_[*at].second = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    if (slots_.empty()) {
        if (entries_.size() >= kIndexedFrom) reindex();
        return;
    }
    if (2 * entries_.size() > slots_.size()) {
        // Twice the slots, each entry placed again by the hash it has.
        std::vector<Slot> old(2 * slots_.size());
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.position != 0) insertSlot(slot.hash, slot.position - 1);
    }
    insertSlot(key_hash(entries_.back().first), entries_.size() - 1);
}

const SettingsValue* SettingsDictionary::find(std::string_view key) const {
    const std::optional<std::size_t> at = position(key);
    return at ? &entries_[*at].second : nullptr;
}

SettingsValue SettingsDictionary::get(std::string_view key) const {
    const SettingsValue* v = find(key);
    return v ? *v : SettingsValue();
}

bool SettingsDictionary::erase(std::string_view key) {
    const std::optional<std::size_t> at = position(key);
    if (!at) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*at));
    if (!slots_.empty()) reindex();
    return true;
}

bool SettingsDictionary::same_contents(const SettingsDictionary& o) const {
    if (size() != o.size()) return false;
    for (const auto& e : entries_) {
        const SettingsValue* v = o.find(e.first);
        if (!v || !(*v == e.second)) return false;
    }
    return true;
}

}  // namespace dvk
