#include "app/ui/windows/rename_source_panel.h"

#include <QtCore/QSignalBlocker>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "app/controller/controller.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

namespace {

void fill(QComboBox* box, const std::vector<std::string>& items, const std::string& text) {
    const QSignalBlocker quiet(box);
    const QString keep = box->currentText();
    box->clear();
    for (const std::string& item : items) box->addItem(QString::fromStdString(item));
    box->setEditText(keep.isEmpty() ? QString::fromStdString(text) : keep);
}

}  // namespace

RenameSourcePanel::RenameSourcePanel(Controller& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
    setWindowTitle(tr("Rename Source"));
    replace_ = new QComboBox(this);
    replacement_ = new QComboBox(this);
    for (QComboBox* box : {replace_, replacement_}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumWidth(420);
        connect(box, &QComboBox::editTextChanged, this, [this] {
            textsToState();
            showReplacementState();
        });
    }
    open_ = new QPushButton(tr("Open"), this);
    connect(open_, &QPushButton::clicked, this, [this] {
        textsToState();
        controller_.openReplacementButtonPressed();
    });
    searching_ = new QLabel(tr("Looking for moved files..."), this);

    auto* form = new QFormLayout;
    form->addRow(tr("Replace:"), replace_);
    auto* withRow = new QHBoxLayout;
    withRow->addWidget(replacement_, 1);
    withRow->addWidget(open_);
    form->addRow(tr("With:"), withRow);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(searching_);
    buttons->addStretch(1);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    auto* rename = new QPushButton(tr("Rename"), this);
    rename->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, [this] { press(0); });
    connect(rename, &QPushButton::clicked, this, [this] { press(1); });
    buttons->addWidget(cancel);
    buttons->addWidget(rename);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void RenameSourcePanel::run() {
    replace_->clearEditText();
    replacement_->clearEditText();
    refresh();
    execModalDialog(*this);
    hide();
}

void RenameSourcePanel::refresh() {
    const RenameSourceState& s = controller_.renameSourceState();
    // The state's texts are what the boxes showed; the boxes keep what was typed.
    const std::string replaceText = s.replaceText, replacementText = s.replacementText;
    fill(replace_, s.replaceItems, replaceText);
    fill(replacement_, s.replacementItems, replacementText);
    searching_->setVisible(s.searching);
    textsToState();
    showReplacementState();
}

void RenameSourcePanel::textsToState() {
    RenameSourceState& s = controller_.renameSourceState();
    s.replaceText = replace_->currentText().toStdString();
    s.replacementText = replacement_->currentText().toStdString();
}

void RenameSourcePanel::showReplacementState() { open_->setEnabled(controller_.replacementPathExists()); }

void RenameSourcePanel::press(int tag) {
    textsToState();
    if (controller_.renameSourceButton(tag)) done(tag == 0 ? Rejected : Accepted);
}

void RenameSourcePanel::reject() { press(0); }

}  // namespace dvk
