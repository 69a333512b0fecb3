// The settings selector: one checkbox per group of settings, choosing which
// settings take part in copying and in new presets. A group switched off puts
// its keys into the RawProcessor's disabledSettings.
//
// The choice lives in three places kept in step: the checkboxes (held here,
// the windows show them), the disabledSettings of the controller's
// RawProcessor, and the user default "DisabledSettings" (the titles of the
// groups switched off; absent means every group on).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dvk {

class RawProcessor;
class UserDefaults;

inline constexpr const char* kDisabledSettingsKey = "DisabledSettings";

struct SettingsGroup {
    const char* title;
    std::vector<const char*> keys;
};

// The 19 groups in the order the selector shows them.
const std::vector<SettingsGroup>& settingsSelectorGroups();
// The keys of the group with this title; none for a title of no group.
std::vector<std::string> keysOfSettingsGroup(std::string_view title);

class SettingsSelector {
public:
    struct Checkbox {
        std::string title;
        bool on = true;
    };

    // One checkbox per group, every one on.
    SettingsSelector();

    std::vector<Checkbox>& checkboxes() { return checkboxes_; }
    const std::vector<Checkbox>& checkboxes() const { return checkboxes_; }
    void setChecked(std::string_view title, bool on);
    bool isChecked(std::string_view title) const;

    // Checkboxes from the user default, then setDisabledSettings.
    void restoreDisabledSettings(UserDefaults& defaults, RawProcessor& processor);
    // The user default from the checkboxes (titles switched off, in view
    // order), synchronised.
    void saveDisabledSettings(UserDefaults& defaults) const;
    // The processor's disabledSettings from the checkboxes.
    void setDisabledSettings(RawProcessor& processor) const;
    // The keys the checkboxes switch off, group by group.
    std::vector<std::string> disabledKeys() const;

private:
    std::vector<Checkbox> checkboxes_;
};

}  // namespace dvk
