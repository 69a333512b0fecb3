#include "app/ui/main_window/wb_pop_up.h"

#include <QtCore/QPointer>
#include <QtCore/QSignalBlocker>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/pop_up_items.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

WbPopUp::WbPopUp(PopUpButtonScroller& popUp) : popUp_(popUp) {
    const QSignalBlocker block(&popUp_);
    popUp_.clear();
    addPopUpItems(popUp_, wbFixedItems());
}

void WbPopUp::setGeneratedWbItems(const MenuItems& items) {
    const QSignalBlocker block(&popUp_);
    const long selected = popUp_.selectedTag();
    removePopUpItemsFrom(popUp_, kWbFixedItemCount);
    addPopUpItems(popUp_, items);
    popUp_.selectTag(selected);
}

void WbPopUp::selectWbTag(int tag) { popUp_.selectTag(tag); }

int WbPopUp::selectedWbTag() const { return static_cast<int>(popUp_.selectedTag()); }

WbPresetWindow::WbPresetWindow(Pressed pressed, QWidget* parent) : QDialog(parent), pressed_(std::move(pressed)) {
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("wbPresetName"));
    name_->setMinimumWidth(220);
    form->addRow(tr("Preset name:"), name_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    layout->addWidget(buttons);
    connect(cancel, &QPushButton::clicked, this, [this] { press(QStringLiteral("Cancel")); });
    connect(ok, &QPushButton::clicked, this, [this] { press(QStringLiteral("Ok")); });
}

void WbPresetWindow::run(const std::string& title) {
    setWindowTitle(QString::fromStdString(title));
    name_->clear();
    name_->setFocus();
    execModalDialog(*this);
}

void WbPresetWindow::press(const QString& title) {
    if (!pressed_) {
        done(QDialog::Rejected);
        return;
    }
    QPointer<WbPresetWindow> self(this);
    pressed_(title.toStdString(), name_->text().toStdString(), [self, title](bool close) {
        if (self && close) self->done(title == QLatin1String("Ok") ? QDialog::Accepted : QDialog::Rejected);
    });
}

void WbPresetWindow::reject() { press(QStringLiteral("Cancel")); }

}  // namespace dvk
