#include "app/ui/main_window/presets_pop_up.h"

#include <QtCore/QSignalBlocker>
#include <QtWidgets/QComboBox>

#include "app/controller/controller.h"

namespace dvk {

PresetsPopUp::PresetsPopUp(Controller& controller, QComboBox* popUp)
    : QObject(popUp), controller_(controller), popUp_(popUp) {
    connect(
        popUp, &QComboBox::activated, this,
        [this](int index) {
            if (!rebuilding_ && index >= 0) controller_.presetSelected(static_cast<std::size_t>(index));
        },
        Qt::QueuedConnection);
    rebuild();
}

void PresetsPopUp::rebuild() {
    if (!popUp_) return;
    rebuilding_ = true;
    const QSignalBlocker quiet(popUp_.data());
    popUp_->clear();
    for (const PresetMenuItem& item : controller_.presetsMenu().items()) {
        if (item.tag == kPresetSeparatorTag)
            popUp_->insertSeparator(popUp_->count());
        else
            popUp_->addItem(QString::fromStdString(item.title), item.tag);
    }
    popUp_->setCurrentIndex(0);
    rebuilding_ = false;
}

void PresetsPopUp::selectFirst() {
    if (!popUp_) return;
    const QSignalBlocker quiet(popUp_.data());
    popUp_->setCurrentIndex(0);
}

}  // namespace dvk
