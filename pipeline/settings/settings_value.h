// SettingsValue: the value that travels through key-value coding of the
// development settings: nothing (null), a boolean, an integer, a double or a
// string. Conversions follow the rules of a number or text value: a string
// converts to a number by reading its leading number, a number to text by its
// shortest exact decimal form. All number text is read and written without
// regard to the process locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace dvk {

class SettingsValue {
public:
    enum class Kind { Null, Bool, Int, Double, String };

    SettingsValue() = default;
    SettingsValue(std::nullptr_t) {}
    SettingsValue(bool v) : v_(v) {}
    SettingsValue(int v) : v_(static_cast<std::int64_t>(v)) {}
    SettingsValue(long v) : v_(static_cast<std::int64_t>(v)) {}
    SettingsValue(long long v) : v_(static_cast<std::int64_t>(v)) {}
    SettingsValue(double v) : v_(v) {}
    SettingsValue(float v) : v_(static_cast<double>(v)) {}
    SettingsValue(std::string v) : v_(std::move(v)) {}
    SettingsValue(std::string_view v) : v_(std::string(v)) {}
    SettingsValue(const char* v) {
        if (v) v_ = std::string(v);
    }
    // An optional string: nullopt is null.
    static SettingsValue from_optional(const std::optional<std::string>& s) {
        return s ? SettingsValue(*s) : SettingsValue();
    }

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool is_null() const { return kind() == Kind::Null; }
    bool is_string() const { return kind() == Kind::String; }
    bool is_number() const { return kind() == Kind::Bool || kind() == Kind::Int || kind() == Kind::Double; }

    // Conversions. A string gives the number at its start (after white space),
    // 0 when there is none; bool_value of a string is true for a leading
    // "Y", "y", "T", "t" or a non-zero digit. int_value truncates a double and
    // clamps to the int range. null converts to 0, false and "".
    bool bool_value() const;
    int int_value() const;
    std::int64_t int64_value() const;
    double double_value() const;
    // The text form: integers in decimal, doubles in their shortest exact
    // decimal form ("2.2", "0.1", "50"), strings as they are, null as "".
    std::string description() const;
    // The string when this is one, else nullopt.
    const std::string* string_ptr() const { return std::get_if<std::string>(&v_); }

    bool operator==(const SettingsValue& o) const { return v_ == o.v_; }

private:
    using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string>;
    Storage v_;
};

// Locale-independent number text.
std::string format_double(double v);
// Parses the leading number of `text` (after white space) the way a string's
// doubleValue does: "1.5x" gives 1.5, "x" gives 0. Sets *found when given.
double parse_leading_double(std::string_view text, bool* found = nullptr);
std::int64_t parse_leading_integer(std::string_view text);
// The number a whole text stands for: the one reading of number text that is
// typed into a field, pasted, imported or given on a command line. Blanks
// around it are allowed; then an optional sign and either digits with at
// most one decimal point (a comma too when `commaIsPoint`) and an optional
// exponent, or "inf", "infinity" or "nan" in any case. A number beyond the
// double range gives an infinity, one too small for it zero (with its sign).
// nullopt for any other text: "", "abc", "12abc", "1 / 2", "1e", "0x10",
// "1,5" (unless `commaIsPoint`).
std::optional<double> parse_number_text(std::string_view text, bool commaIsPoint = false);

// An ordered dictionary of settings: keys keep the order in which they were
// first added (text order for text, file order for property lists); setting
// an existing key replaces its value in place. Finding a key takes the same
// time however many there are (a settings file may hold hundreds of
// thousands).
class SettingsDictionary {
public:
    using Entry = std::pair<std::string, SettingsValue>;

    void set(std::string key, SettingsValue value);
    const SettingsValue* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // The value, or null when the key is missing.
    SettingsValue get(std::string_view key) const;
    bool erase(std::string_view key);
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    const std::vector<Entry>& entries() const { return entries_; }

    // Same keys with equal values, whatever the order.
    bool same_contents(const SettingsDictionary& o) const;

private:
    // An open-addressing table of the entries' positions, kept from
    // kIndexedFrom entries on (a few are found faster by looking at each):
    // a power-of-two number of slots, at most half of them used. (A standard
    // unordered map took three times as long to read the largest settings
    // files: a node and a copy of the key for every entry.)
    static constexpr std::size_t kIndexedFrom = 32;
    struct Slot {
        std::size_t hash = 0;
        std::size_t position = 0;  // in entries_, plus one; 0: empty
    };
    std::optional<std::size_t> position(std::string_view key) const;
    void insertSlot(std::size_t hash, std::size_t position);
    void reindex();

    std::vector<Entry> entries_;
    std::vector<Slot> slots_;
};

}  // namespace dvk
