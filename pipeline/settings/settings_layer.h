// Types of the settings layer of RawProcessor: key-value access by setting
// name, observation of any key, undo of every announced change, and settings
// transfer as dictionaries, text and files.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/settings/key_value_observing.h"
#include "pipeline/settings/settings_value.h"

namespace dvk {

class UndoManager;

// Thrown by valueForKey / setValueForKey for a key that is no setting (or a
// read-only one), and for a value a setting cannot hold (a non-finite number).
class KeyValueError : public std::runtime_error {
public:
    KeyValueError(std::string key, const std::string& message)
        : std::runtime_error(message), key_(std::move(key)) {}
    const std::string& key() const { return key_; }

private:
    std::string key_;
};

// Anything that answers valueForKey: a history record, a dictionary. A
// missing key answers null.
using KeyValueSource = std::function<SettingsValue(std::string_view key)>;

// Per-object state of the settings layer, kept inside RawProcessor.
struct SettingsLayerState {
    SettingsLayerState() = default;
    SettingsLayerState(const SettingsLayerState&) = delete;
    SettingsLayerState& operator=(const SettingsLayerState&) = delete;
    // Drops the undo steps that would call into the object being destroyed.
    ~SettingsLayerState();

    KeyValueObservers observers;
    int changeDepth = 0;                       // nesting of announcements
    bool named = false;                        // the outermost change has named its undo step
    std::string outerKey;                      // the key of the outermost change
    std::shared_ptr<UndoManager> groupManager;  // the manager whose group the outermost change opened
    std::vector<std::weak_ptr<UndoManager>> registeredWith;  // managers given undo steps
    const void* owner = nullptr;
};

}  // namespace dvk
