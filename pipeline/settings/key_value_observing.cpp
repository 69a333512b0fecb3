#include "pipeline/settings/key_value_observing.h"

#include <algorithm>
#include <utility>

namespace dvk {

KeyValueObservers::Token KeyValueObservers::add(std::string key, Callback callback) {
    Token t = next_++;
    entries_.push_back(Entry{t, std::move(key), std::move(callback)});
    return t;
}

void KeyValueObservers::remove(Token token) {
    std::erase_if(entries_, [&](const Entry& e) { return e.token == token; });
}

void KeyValueObservers::notify(std::string_view key) const {
    std::vector<Callback> calls;
    for (const auto& e : entries_)
        if (e.key == key) calls.push_back(e.callback);
    for (const auto& c : calls) c(key);
}

std::size_t KeyValueObservers::count(std::string_view key) const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.key == key; }));
}

}  // namespace dvk
