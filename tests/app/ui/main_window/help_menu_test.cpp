// The Tools and Help menus as DVK_DEV_ACTIONS finds them, and the editors
// pop-up's choices: an editor added, refused as a duplicate, deleted, chosen.
#include <gtest/gtest.h>

#include <QtGui/QAction>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenuBar>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/hooks/dev_hooks.h"
#include "app/desktop/editor_launch.h"
#include "app/desktop/help.h"
#include "app/controller/help_actions.h"
#include "app/ui/shell/dev_actions.h"
#include "app/ui/main_window/editors_pop_up.h"
#include "app/ui/shell/help_menu.h"
#include "platform/url_opener.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

struct Alerts {
    std::vector<std::string> texts;
    int answer = kAlertFirstButton;
    AlertFunction function() {
        return [this](const std::string& title, const std::string& text, const std::vector<std::string>&) {
            texts.push_back(title.empty() ? text : title + ": " + text);
            return answer;
        };
    }
};

TEST(HelpMenu, ItsActionsAreFoundByTheirNamesAndReachTheirLayers) {
    test::TempDir dir;
    ControllerOptions options;
    options.supportFolder = (dir / "support").string();
    Controller controller(options);
    Alerts alerts;
    HelpActions actions(controller, alerts.function());
    QMainWindow window;
    addToolsAndHelpMenus(*window.menuBar(), actions);
    auto opener = std::make_shared<RecordingUrlOpener>();
    set_url_opener(opener);
    struct Ui : ControllerUi {
        int terminated = 0;
        void terminate() override { ++terminated; }
    } ui;
    DevActions dev(controller, ui, DevHooks{});

    dev.find("openManual:")();
    dev.find("feedback:")();
    EXPECT_EQ(opener->urls(), (std::vector<std::string>{fileUrlForPath(manualPath()), feedbackUrl(feedbackAddress())}));
    EXPECT_TRUE(alerts.texts.empty());
    // No launcher on the system: the user is told where the manual is and
    // where to write.
    auto refusing = std::make_shared<RecordingUrlOpener>(false);
    set_url_opener(refusing);
    dev.find("openManual:")();
    dev.find("feedback:")();
    EXPECT_EQ(refusing->urls().size(), 2u);
    ASSERT_EQ(alerts.texts.size(), 2u);
    EXPECT_EQ(alerts.texts[0], "Manual: No program to show the manual could be started. The manual is the PDF file " +
                                   manualPath() + ".");
    EXPECT_EQ(alerts.texts[1].rfind("Feedback: No mail program could be started.", 0), 0u) << alerts.texts[1];
    EXPECT_NE(alerts.texts[1].find("\"DVK Feedback\""), std::string::npos) << alerts.texts[1];
    alerts.texts.clear();
    // The last batch in the chosen editor: no batch has run.
    std::vector<std::string> editors = {"/usr/bin/true"};
    std::int64_t current = 1;
    actions.setEditors({[&]() -> std::vector<std::string>& { return editors; }, [&] { return current; },
                        [&](std::int64_t i) { current = i; }, {}});
    dev.find("exportBatchSavedToApp:")();
    EXPECT_EQ(alerts.texts, (std::vector<std::string>{"There is no results from last batch available"}));
    // No menu item quits: terminate: quits the normal way.
    dev.find("terminate:")();
    EXPECT_EQ(ui.terminated, 1);
    EXPECT_FALSE(dev.find("nothing:"));
    window.findChild<QAction*>("feedback:")->setEnabled(false);
    EXPECT_FALSE(dev.find("feedback:"));
    for (const char* name : {"installLR2Plugin:", "archiveCrashLogs:"}) EXPECT_TRUE(dev.find(name)) << name;
    set_url_opener(nullptr);
}

TEST(EditorsPopUp, AddsRefusesDeletesAndChoosesEditors) {
    std::vector<std::string> editors = {"/usr/bin/darktable", "/usr/share/applications/gimp.desktop"};
    std::int64_t current = 0;
    QComboBox popUp;
    const auto initEditorsButton = [&] {
        popUp.clear();
        popUp.addItem(QStringLiteral("Don't open"));
        for (const std::string& e : editors) popUp.addItem(QString::fromStdString(editorItemTitle(e)));
        popUp.insertSeparator(popUp.count());
        popUp.addItem(QStringLiteral("New..."));
        popUp.addItem(QStringLiteral("Delete"));
    };
    initEditorsButton();
    Alerts alerts;
    std::string chosenFile;
    std::vector<std::string> panelFolders;
    connectEditorsPopUp(
        popUp,
        {[&]() -> std::vector<std::string>& { return editors; }, [&] { return current; },
         [&](std::int64_t i) { current = i; }, initEditorsButton},
        alerts.function(), [&](const std::string& folder) -> std::optional<std::string> {
            panelFolders.push_back(folder);
            if (chosenFile.empty()) return std::nullopt;
            return chosenFile;
        });
    const auto choose = [&](const QString& title) {
        const int i = popUp.findText(title);
        ASSERT_GE(i, 0) << title.toStdString();
        popUp.setCurrentIndex(i);
        emit popUp.activated(i);
    };

    choose(QStringLiteral("Open in gimp"));
    EXPECT_EQ(current, 2);
    // A new editor: its item, chosen.
    chosenFile = "/opt/rt/rawtherapee";
    choose(QStringLiteral("New..."));
    EXPECT_EQ(panelFolders, (std::vector<std::string>{"/usr/share/applications"}));
    EXPECT_EQ(editors.back(), "/opt/rt/rawtherapee");
    EXPECT_EQ(current, 3);
    EXPECT_EQ(popUp.currentText(), QStringLiteral("Open in rawtherapee"));
    // The same name again: refused, the current editor shown again.
    chosenFile = "/usr/local/bin/rawtherapee";
    choose(QStringLiteral("New..."));
    EXPECT_EQ(alerts.texts,
              (std::vector<std::string>{"\"Open in rawtherapee\" is already in the menu and cannot be added again"}));
    EXPECT_EQ(editors.size(), 3u);
    EXPECT_EQ(popUp.currentIndex(), 3);
    // Cancelled panel: nothing changes.
    chosenFile.clear();
    choose(QStringLiteral("New..."));
    EXPECT_EQ(popUp.currentIndex(), 3);
    // Deleting the second of three after a "Cancel", then a "Yes".
    choose(QStringLiteral("Open in gimp"));
    alerts.answer = kAlertFirstButton + 1;
    choose(QStringLiteral("Delete"));
    EXPECT_EQ(editors.size(), 3u);
    EXPECT_EQ(popUp.currentText(), QStringLiteral("Open in gimp"));
    alerts.answer = kAlertFirstButton;
    choose(QStringLiteral("Delete"));
    EXPECT_EQ(alerts.texts.back(), "Are you sure that you want to delete gimp from the list?");
    EXPECT_EQ(editors, (std::vector<std::string>{"/usr/bin/darktable", "/opt/rt/rawtherapee"}));
    EXPECT_EQ(current, 0);
    EXPECT_EQ(popUp.currentText(), QStringLiteral("Don't open"));
}

}  // namespace
}  // namespace dvk
