#include "app/ui/main_window/editors_pop_up.h"

#include <QtWidgets/QComboBox>

#include "app/menus/editors_button.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "platform/panels.h"

namespace dvk {

std::optional<std::string> chooseEditorFile(const std::string& folder) {
    OpenPanelRequest request;
    request.startPath = folder;
    request.allowsMultipleSelection = false;
    request.canChooseFiles = true;
    request.canChooseDirectories = false;
    const auto chosen = runOpenPanel(request);
    if (!chosen || chosen->empty()) return std::nullopt;
    return chosen->front();
}

void extEditorsButtonChanged(QComboBox& popUp, int chosen, const EditorsAccess& editors, const AlertFunction& alert,
                             const ChooseFileFunction& chooseFile) {
    if (!editors.editors || !editors.currentEditor || !editors.setCurrentEditor) return;
    std::int64_t current = editors.currentEditor();
    EditorsButtonPorts ports;
    ports.alert = alert;
    ports.chooseFile = chooseFile;
    ports.titles = [&popUp] {
        std::vector<std::string> titles;
        for (int i = 0; i < popUp.count(); ++i) titles.push_back(popUp.itemText(i).toStdString());
        return titles;
    };
    ports.rebuild = [&editors] {
        if (editors.initEditorsButton) editors.initEditorsButton();
    };
    // The rule's selection, not a choice of the user's.
    ports.select = [&popUp](std::int64_t item) {
        const QSignalBlocker block(&popUp);
        popUp.setCurrentIndex(static_cast<int>(item));
    };
    dvk::extEditorsButtonChanged(editors.editors(), current, chosen, ports);
    editors.setCurrentEditor(current);
}

void connectEditorsPopUp(QComboBox& popUp, EditorsAccess editors, AlertFunction alert, ChooseFileFunction chooseFile) {
    auto handle = [&popUp, editors = std::move(editors), alert = std::move(alert),
                   chooseFile = std::move(chooseFile)] {
        extEditorsButtonChanged(popUp, popUp.currentIndex(), editors, alert, chooseFile);
    };
    // A PopUpButtonScroller tells of mouse and wheel choices alike.
    if (auto* scroller = qobject_cast<PopUpButtonScroller*>(&popUp))
        QObject::connect(scroller, &PopUpButtonScroller::tagChosen, &popUp, [handle](long) { handle(); });
    else
        QObject::connect(&popUp, QOverload<int>::of(&QComboBox::activated), &popUp, [handle](int) { handle(); });
}

}  // namespace dvk
