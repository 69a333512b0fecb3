#include "app/ui/windows/settings_selector_window.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "app/controller/controller.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

namespace {

// "Cancel" and "Ok" at the bottom right, "Ok" the default.
QHBoxLayout* ok_cancel_row(QDialog* dialog, const std::function<void(const QString&)>& press) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (const char* title : {"Cancel", "Ok"}) {
        auto* b = new QPushButton(QString::fromLatin1(title), dialog);
        QObject::connect(b, &QPushButton::clicked, dialog, [press, t = QString::fromLatin1(title)] { press(t); });
        if (std::string_view(title) == "Ok") b->setDefault(true);
        row->addWidget(b);
    }
    return row;
}

}  // namespace

SettingsSelectorBox::SettingsSelectorBox(Controller& controller, QWidget* parent)
    : QGroupBox(tr("Settings to copy"), parent), controller_(controller) {
    auto* grid = new QGridLayout(this);
    const auto& boxes = controller_.settingsSelector().checkboxes();
    const int rows = static_cast<int>((boxes.size() + 1) / 2);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        auto* b = new QCheckBox(QString::fromStdString(boxes[i].title), this);
        const int n = static_cast<int>(i);
        grid->addWidget(b, n % rows, n / rows);
        connect(b, &QCheckBox::toggled, this, [this, title = boxes[i].title](bool on) {
            if (!refreshing_) controller_.settingsSelector().setChecked(title, on);
        });
        boxes_.push_back(b);
    }
    refresh();
}

void SettingsSelectorBox::refresh() {
    refreshing_ = true;
    for (QCheckBox* b : boxes_) b->setChecked(controller_.settingsSelector().isChecked(b->text().toStdString()));
    refreshing_ = false;
}

SettingsSelectorWindow::SettingsSelectorWindow(Controller& controller, SettingsSelectorBox& box, QWidget* parent)
    : QDialog(parent), controller_(controller), box_(box) {
    setWindowTitle(tr("Settings Selector"));
    auto* layout = new QVBoxLayout(this);
    boxPlace_ = new QVBoxLayout;
    layout->addLayout(boxPlace_);
    layout->addLayout(ok_cancel_row(this, [this](const QString& t) { press(t); }));
}

void SettingsSelectorWindow::run() {
    boxPlace_->addWidget(&box_);
    box_.refresh();
    execModalDialog(*this);
    hide();
}

void SettingsSelectorWindow::press(const QString& title) {
    controller_.closeSettingsSelectorWindow(title.toStdString());
    box_.refresh();
    done(title == QLatin1String("Ok") ? Accepted : Rejected);
}

void SettingsSelectorWindow::reject() { press(QStringLiteral("Cancel")); }

CreatePresetWindow::CreatePresetWindow(Controller& controller, SettingsSelectorBox& box, QWidget* parent)
    : QDialog(parent), controller_(controller), box_(box) {
    setWindowTitle(tr("New Preset"));
    auto* layout = new QVBoxLayout(this);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(tr("Preset name:"), this));
    name_ = new QLineEdit(this);
    nameRow->addWidget(name_, 1);
    layout->addLayout(nameRow);
    boxPlace_ = new QVBoxLayout;
    layout->addLayout(boxPlace_);
    layout->addLayout(ok_cancel_row(this, [this](const QString& t) { press(t); }));
}

void CreatePresetWindow::run() {
    boxPlace_->addWidget(&box_);
    box_.refresh();
    // The last name typed stays, selected: typing replaces it.
    name_->selectAll();
    name_->setFocus();
    execModalDialog(*this);
    hide();
}

void CreatePresetWindow::press(const QString& title) {
    if (!controller_.closePresetWindow(title.toStdString(), name_->text().toStdString())) return;
    box_.refresh();
    done(title == QLatin1String("Ok") ? Accepted : Rejected);
}

void CreatePresetWindow::reject() { press(QStringLiteral("Cancel")); }

}  // namespace dvk
