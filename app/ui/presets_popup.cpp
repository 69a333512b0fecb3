#include "app/ui/presets_popup.h"

#include "app/controller.h"

namespace dvk {

PresetsPopup::PresetsPopup(Controller& controller, QWidget* parent) : QComboBox(parent), controller_(controller) {
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(
        this, &QComboBox::activated, this,
        [this](int index) {
            if (!rebuilding_ && index >= 0) controller_.presetSelected(static_cast<std::size_t>(index));
        },
        Qt::QueuedConnection);
    rebuild();
}

void PresetsPopup::rebuild() {
    rebuilding_ = true;
    clear();
    for (const PresetMenuItem& item : controller_.presetsMenu().items()) {
        if (item.tag == kPresetSeparatorTag)
            insertSeparator(count());
        else
            addItem(QString::fromStdString(item.title), item.tag);
    }
    setCurrentIndex(0);
    rebuilding_ = false;
}

}  // namespace dvk
