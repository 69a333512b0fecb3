// The user defaults store: one property-list dictionary kept in
// $XDG_CONFIG_HOME/DVK/defaults.plist (~/.config when XDG_CONFIG_HOME is unset).
// An absent key reads as 0, false or the empty string. Values are read from the
// file when the store is first used (or on reload()) and written back by
// synchronize(). A file that is there but cannot be read (damaged, nested too
// deeply, too large, not a regular file, not readable) is renamed aside to
// "defaults.plist.unreadable-DATE" (never deleted), logged, and the store
// starts empty; takeUnreadableFileNote gives the text for the user. All
// calls are thread-safe.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dvk {

class UserDefaults {
public:
    // The process-wide store for the path of defaultsFilePath().
    static UserDefaults& standard();
    // A store over any file (tests, tools).
    explicit UserDefaults(std::string path);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    double doubleForKey(const char* key) const;
    float floatForKey(const char* key) const;
    long long integerForKey(const char* key) const;
    bool boolForKey(const char* key) const;
    std::string stringForKey(const char* key) const;
    bool hasKey(const char* key) const;
    // The strings of an array value (other elements left out); nullopt when
    // the key is absent or holds no array.
    std::optional<std::vector<std::string>> stringArrayForKey(const char* key) const;

    void setDouble(const char* key, double value);
    void setInteger(const char* key, long long value);
    void setBool(const char* key, bool value);
    void setString(const char* key, const std::string& value);
    void setStringArray(const char* key, const std::vector<std::string>& values);
    void removeKey(const char* key);

    // Writes the store (XML property list) atomically; false on failure.
    bool synchronize();
    // Drops the values in memory and reads the file again.
    void reload();
    // Once, after the file was found unreadable (reading it when that has not
    // happened yet): what happened to it, for an alert. nullopt otherwise.
    std::optional<std::string> takeUnreadableFileNote();
    const std::string& path() const { return path_; }

private:
    struct Impl;
    Impl* impl_;
    std::string path_;
};

// $XDG_CONFIG_HOME/DVK/defaults.plist, or ~/.config/DVK/defaults.plist.
std::string defaultsFilePath();

}  // namespace dvk
