#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/desktop/editor_launch.h"
#include "app/menus/editors_button.h"

namespace dvk {
namespace {

// The pop-up as initEditorsButton builds it, and what the action did to it.
struct Popup {
    explicit Popup(std::vector<std::string>* e) : editors(e) {}
    std::vector<std::string>* editors;
    std::vector<std::string> items;
    std::vector<std::int64_t> selected;
    std::vector<std::string> alerts;
    int alertAnswer = kAlertFirstButton;
    std::optional<std::string> chosenFile;

    void rebuild() {
        items = {"Don't open"};
        for (std::size_t i = 0; i < editors->size();) {
            const std::string title = editorItemTitle((*editors)[i]);
            if (std::find(items.begin(), items.end(), title) != items.end()) {
                editors->erase(editors->begin() + std::ptrdiff_t(i));
                continue;
            }
            items.push_back(title);
            ++i;
        }
        items.insert(items.end(), {"", "New...", "Delete"});
    }
    EditorsButtonPorts ports() {
        return {[this](const std::string& t, const std::string& x, const std::vector<std::string>& b) {
                    alerts.push_back(t + "|" + x + "|" + b.front());
                    return alertAnswer;
                },
                [this](const std::string& folder) {
                    EXPECT_EQ(folder, "/usr/share/applications");
                    return chosenFile;
                },
                [this] { return items; }, [this] { rebuild(); }, [this](std::int64_t i) { selected.push_back(i); }};
    }
};

TEST(EditorsButton, AddSelectAndRefuseADuplicate) {
    std::vector<std::string> editors = {"/usr/bin/gimp"};
    std::int64_t current = 0;
    Popup popup{&editors};
    popup.rebuild();

    popup.chosenFile = "/usr/share/applications/darktable.desktop";
    extEditorsButtonChanged(editors, current, 3, popup.ports());  // "New..."
    EXPECT_EQ(editors, (std::vector<std::string>{"/usr/bin/gimp", "/usr/share/applications/darktable.desktop"}));
    EXPECT_EQ(current, 2);
    EXPECT_EQ(popup.items[2], "Open in darktable");
    EXPECT_EQ(popup.selected, std::vector<std::int64_t>{2});

    popup.chosenFile = "/opt/other/gimp";
    extEditorsButtonChanged(editors, current, 4, popup.ports());
    EXPECT_EQ(popup.alerts, std::vector<std::string>{"|\"Open in gimp\" is already in the menu and cannot be added again|Ok"});
    EXPECT_EQ(editors.size(), 2u);
    EXPECT_EQ(popup.selected.back(), 2);

    popup.chosenFile.reset();  // Cancel in the panel
    extEditorsButtonChanged(editors, current, 4, popup.ports());
    EXPECT_EQ(popup.selected.back(), 2);
    EXPECT_EQ(editors.size(), 2u);

    extEditorsButtonChanged(editors, current, 1, popup.ports());  // choose gimp
    EXPECT_EQ(current, 1);
    extEditorsButtonChanged(editors, current, 0, popup.ports());  // "Don't open"
    EXPECT_EQ(current, 0);
}

TEST(EditorsButton, DeleteTheSecondOfThree) {
    std::vector<std::string> editors = {"/usr/bin/gimp", "/usr/bin/krita", "/usr/bin/darktable"};
    std::int64_t current = 2;
    Popup popup{&editors};
    popup.rebuild();

    popup.alertAnswer = kAlertFirstButton + 1;  // Cancel
    extEditorsButtonChanged(editors, current, 6, popup.ports());
    EXPECT_EQ(popup.alerts, std::vector<std::string>{"|Are you sure that you want to delete krita from the list?|Yes"});
    EXPECT_EQ(editors.size(), 3u);
    EXPECT_EQ(current, 2);
    EXPECT_EQ(popup.selected.back(), 2);

    popup.alertAnswer = kAlertFirstButton;  // Yes
    extEditorsButtonChanged(editors, current, 6, popup.ports());
    EXPECT_EQ(editors, (std::vector<std::string>{"/usr/bin/gimp", "/usr/bin/darktable"}));
    EXPECT_EQ(current, 0);
    EXPECT_EQ(popup.selected.back(), 0);
    EXPECT_EQ(popup.items, (std::vector<std::string>{"Don't open", "Open in gimp", "Open in darktable", "", "New...", "Delete"}));

    // With "Don't open" current there is nothing to delete and no question.
    extEditorsButtonChanged(editors, current, 5, popup.ports());
    EXPECT_EQ(popup.alerts.size(), 2u);
    EXPECT_EQ(editors.size(), 2u);
    EXPECT_EQ(popup.selected.back(), 0);
}

}  // namespace
}  // namespace dvk
