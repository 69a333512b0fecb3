// The camera-profiling panel: a window over the controller's
// ProfilingWorkflow. It shows the workflow's state (refreshed on each change
// the workflow reports) and hands the user's actions to it; the actions run
// once the apply worker leaves the open file's processor alone. The window
// delegate runs the close steps when the user closes it
// (MainWindowDelegate::setProfilingPanel). Made with the main window as its
// parent, it is a tool window of it, kept in front of it; it opens beside it.
#pragma once

#include <QtWidgets/QWidget>
#include <functional>

#include "profiling/profiling_workflow.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace dvk {

class Controller;

class ProfilingPanel : public QWidget {
    Q_OBJECT
public:
    explicit ProfilingPanel(Controller& controller, QWidget* parent = nullptr);
    ~ProfilingPanel() override;

    // The widgets, by what they show (tests drive them).
    QComboBox* referencePopUp() const { return reference_; }
    QLineEdit* descriptionField() const { return description_; }
    QLineEdit* originatorField() const { return originator_; }
    QLineEdit* ti3Field() const { return ti3_; }
    QCheckBox* enforceWhiteBox() const { return enforceWhite_; }
    QCheckBox* enforceBlackBox() const { return enforceBlack_; }
    QLabel* patchToSelectLabel() const { return patchToSelect_; }
    QLabel* swatchLabel() const { return swatch_; }
    QPlainTextEdit* logView() const { return log_; }
    QPushButton* button(const QString& objectName) const;

private:
    void refresh(ProfilingChange change);
    void refreshFields();
    void refreshReferenceMenu();
    void refreshLog();
    void refreshSwatch();
    // Runs `action` on the workflow once the apply worker is idle.
    void act(std::function<void(ProfilingWorkflow&)> action);

    Controller& controller_;
    ProfilingWorkflow& workflow_;
    QLabel* credits_;
    QComboBox* reference_;
    QLineEdit *description_, *originator_, *ti3_;
    QCheckBox *enforceWhite_, *enforceBlack_;
    QLabel *patchToSelect_, *swatch_;
    QPlainTextEdit* log_;
    QPushButton* makeProfile_;
};

}  // namespace dvk
