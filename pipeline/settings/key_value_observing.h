// Observers per key: a window binds a control to a setting by adding an
// observer for its key; the owner of the settings tells the observers after
// each change of that key. Observers run on the thread that made the change.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dvk {

class KeyValueObservers {
public:
    using Callback = std::function<void(std::string_view key)>;
    using Token = std::uint64_t;

    // Adds an observer of `key`; the token removes it again.
    Token add(std::string key, Callback callback);
    void remove(Token token);
    // Calls every observer of `key`, in the order they were added. An
    // observer may add or remove observers while it runs; those changes take
    // effect from the next notification.
    void notify(std::string_view key) const;
    std::size_t count(std::string_view key) const;

private:
    struct Entry {
        Token token;
        std::string key;
        Callback callback;
    };
    std::vector<Entry> entries_;
    Token next_ = 1;
};

}  // namespace dvk
