// The rename-source panel of the history window: the path part to replace
// and its replacement (combo boxes offering the folders of the selected
// records and of the files found by the search), an "Open" button that shows
// the replacement folder, "Cancel" (tag 0) and "Rename" (tag 1). It shows and
// edits the controller's RenameSourceState.
#pragma once

#include <QtWidgets/QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace dvk {

class Controller;

class RenameSourcePanel : public QDialog {
    Q_OBJECT

public:
    explicit RenameSourcePanel(Controller& controller, QWidget* parent = nullptr);
    // Runs the panel modally on the controller's state.
    void run();
    // The combo boxes from the controller's state (the texts only when empty).
    void refresh();
    // A button by tag: 0 "Cancel", 1 "Rename".
    void press(int tag);

    QComboBox* replaceBox() const { return replace_; }
    QComboBox* replacementBox() const { return replacement_; }
    QPushButton* openButton() const { return open_; }

protected:
    void reject() override;

private:
    void textsToState();
    void showReplacementState();

    Controller& controller_;
    QComboBox* replace_;
    QComboBox* replacement_;
    QPushButton* open_;
    QLabel* searching_;
};

}  // namespace dvk
