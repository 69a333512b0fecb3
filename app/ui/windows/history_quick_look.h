// Quick Look for the history window: the preview dialog shows the files of
// the selected history records (each record's destination, the JPEG and TIFF
// beside its raw file, the raw file) and follows the selection while it is
// open. The Quick Look button and the Space key of the history table open it.
#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <string>
#include <vector>

#include "app/ui/windows/quick_look_dialog.h"

class QAbstractItemView;
class QPushButton;
class QWidget;

namespace dvk {

class HistoryList;

class HistoryQuickLook : public QObject {
    Q_OBJECT
public:
    // `window` is the history window (the dialog's parent), `table` its table.
    HistoryQuickLook(HistoryList& list, QWidget& window, QAbstractItemView& table);
    ~HistoryQuickLook() override;

    // QLButton: the Quick Look button (hidden where there is no preview).
    QPushButton* button() const { return button_; }

    // Opens the dialog at the front (unless the button is hidden).
    void previewAction();
    // The dialog is taken when it opens and given up when it closes.
    void beginPreviewPanelControl();
    void endPreviewPanelControl();
    // previewFiles made again from the selection; their count.
    std::size_t numberOfPreviewItemsInPreviewPanel();
    // The file URL of item `index` ("" : none).
    std::string previewItemAtIndex(std::size_t index) const;
    // The selection changed: the open dialog shows its files.
    void handleCurrentFileItemsSelectionChange();

    // The dialog while this object controls it (null otherwise).
    QuickLookDialog* previewPanel() const { return previewPanel_; }
    const std::vector<std::string>& previewFiles() const { return previewFiles_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reloadData();

    HistoryList& list_;
    QWidget& window_;
    QPushButton* button_ = nullptr;
    QPointer<QuickLookDialog> dialog_;  // made on first use, owned by the window
    QPointer<QuickLookDialog> previewPanel_;
    std::vector<std::string> previewFiles_;
    int listener_ = 0;
};

}  // namespace dvk
