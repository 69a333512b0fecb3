// The history window: the history table (newest first, long paths cut at
// the head) and the buttons of its actions, each named after its action
// ("addToHistory:", "reloadWithSelectedHistoryRecord:", ...). Selection goes
// both ways between the table and the controller's history list; a double
// click on a record opens its file with its settings. "Show all records"
// lifts the open file's filter. Each time the window comes to the front it
// reads the store again (records other programs, dvk-history, added show).
#pragma once

#include <QtWidgets/QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace dvk {

class Controller;
class HistoryQuickLook;
class HistoryTableModel;

class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    explicit HistoryWindow(Controller& controller, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    QTableView* table() const { return table_; }
    HistoryTableModel* model() const { return model_; }
    HistoryQuickLook* quickLook() const { return quickLook_; }
    // A line under the table for the controller's progress texts.
    void setStatusText(const QString& text);

    // setFromHistoryAndOpen with the record shown in `row`.
    void openRecordAt(int row);

protected:
    bool event(QEvent* event) override;

private:
    void selectionFromView();
    void selectionToView();

    Controller& controller_;
    HistoryTableModel* model_;
    QTableView* table_;
    QLabel* status_;
    QCheckBox* showAll_;
    HistoryQuickLook* quickLook_;
    int listener_ = 0;
    bool syncing_ = false;
};

}  // namespace dvk
