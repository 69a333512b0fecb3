#include "pipeline/settings/settings_text.h"

#include <algorithm>
#include <vector>

namespace dvk {

namespace {

bool skipped(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool line_end(char c) { return c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

class Scanner {
public:
    explicit Scanner(std::string_view t) : t_(t) {}
    bool at_end() const {
        std::size_t p = pos_;
        while (p < t_.size() && skipped(t_[p])) ++p;
        return p >= t_.size();
    }
    template <class Stop>
    std::string_view scan_up_to(Stop stop) {
        while (pos_ < t_.size() && skipped(t_[pos_])) ++pos_;
        std::size_t start = pos_;
        while (pos_ < t_.size() && !stop(t_[pos_])) ++pos_;
        return t_.substr(start, pos_ - start);
    }
    // The character after the one at the scan position, or 0 at the end.
    char after_current() const { return pos_ + 1 < t_.size() ? t_[pos_ + 1] : '\0'; }

private:
    std::string_view t_;
    std::size_t pos_ = 0;
};

}  // namespace

std::string settings_text_from_dictionary(const SettingsDictionary& dict) {
    std::vector<const SettingsDictionary::Entry*> sorted;
    sorted.reserve(dict.size());
    for (const auto& e : dict) sorted.push_back(&e);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->first < b->first; });
    std::string out;
    for (const auto* e : sorted) {
        out += e->first;
        out += ' ';
        out += e->second.description();
        out += '\n';
    }
    return out;
}

SettingsDictionary getDictionarySettingsFromString(std::string_view text) {
    SettingsDictionary dict;
    Scanner s(text);
    while (!s.at_end()) {
        std::string_view key = s.scan_up_to([](char c) { return c == ' ' || c == '\t'; });
        if (!s.at_end() && s.after_current() != '\n') {
            std::string_view value = s.scan_up_to(line_end);
            if (!key.empty() && !value.empty()) dict.set(std::string(key), SettingsValue(value));
        } else if (!key.empty()) {
            dict.set(std::string(key), SettingsValue(std::string()));
        }
    }
    return dict;
}

}  // namespace dvk
