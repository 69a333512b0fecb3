#include "app/ui/windows/history_quick_look.h"

#include <algorithm>

#include <QtGui/QKeyEvent>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QPushButton>

#include "app/history/history_list.h"
#include "app/history/quick_look_items.h"
#include "app/ui/windows/quick_look_dialog.h"

namespace dvk {

HistoryQuickLook::HistoryQuickLook(HistoryList& list, QWidget& window, QAbstractItemView& table)
    : QObject(&window), list_(list), window_(window) {
    button_ = new QPushButton(tr("Quick Look"), &window);
    button_->setObjectName(QStringLiteral("QLButton"));
    button_->setToolTip(tr("Preview the files of the selected records (Space)"));
    connect(button_, &QPushButton::clicked, this, [this] { previewAction(); });
    table.installEventFilter(this);
    listener_ = list_.addListener([this](HistoryList::Change) { handleCurrentFileItemsSelectionChange(); });
}

HistoryQuickLook::~HistoryQuickLook() { list_.removeListener(listener_); }

bool HistoryQuickLook::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        previewAction();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void HistoryQuickLook::previewAction() {
    if (button_->isHidden()) return;
    if (!dialog_) {
        dialog_ = new QuickLookDialog(&window_);
        connect(dialog_, &QDialog::finished, this, [this] { endPreviewPanelControl(); });
    }
    if (!previewPanel_) beginPreviewPanelControl();
    reloadData();
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void HistoryQuickLook::beginPreviewPanelControl() { previewPanel_ = dialog_; }

void HistoryQuickLook::endPreviewPanelControl() { previewPanel_ = nullptr; }

std::size_t HistoryQuickLook::numberOfPreviewItemsInPreviewPanel() {
    std::vector<PreviewRecordFiles> records;
    for (const HistoryMO& r : list_.selectedObjects()) records.push_back({r.destinationFile(), r.sourceFile()});
    previewFiles_ = previewItemsForRecords(records);
    return previewFiles_.size();
}

std::string HistoryQuickLook::previewItemAtIndex(std::size_t index) const {
    return previewItemUrl(previewFiles_, index);
}

void HistoryQuickLook::handleCurrentFileItemsSelectionChange() {
    if (previewPanel_) reloadData();
}

void HistoryQuickLook::reloadData() {
    if (!previewPanel_) return;
    const std::vector<std::string>& shown = previewPanel_->items();
    numberOfPreviewItemsInPreviewPanel();
    if (previewFiles_ == shown) return;
    // The file on show stays on show when the new list still holds it.
    int current = 0;
    if (previewPanel_->currentIndex() >= 0 && previewPanel_->currentIndex() < int(shown.size())) {
        const auto it = std::find(previewFiles_.begin(), previewFiles_.end(), shown[previewPanel_->currentIndex()]);
        if (it != previewFiles_.end()) current = int(it - previewFiles_.begin());
    }
    previewPanel_->setItems(previewFiles_, current);
}

}  // namespace dvk
