#include "app/ui/windows/history_window.h"

#include <QtCore/QEvent>
#include <QtCore/QItemSelectionModel>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableView>
#include <QtWidgets/QVBoxLayout>

#include "app/controller/controller.h"
#include "app/ui/windows/history_quick_look.h"
#include "app/ui/windows/history_table_model.h"

namespace dvk {

HistoryWindow::HistoryWindow(Controller& controller, QWidget* parent)
    : QWidget(parent, Qt::Window), controller_(controller) {
    setWindowTitle(tr("History"));
    model_ = new HistoryTableModel(controller_, this);
    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setTextElideMode(Qt::ElideLeft);
    table_->setWordWrap(false);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(HistoryTableModel::SourceColumn, 280);
    table_->setColumnWidth(HistoryTableModel::DestinationColumn, 220);
    table_->setColumnWidth(HistoryTableModel::CameraColumn, 150);
    table_->setColumnWidth(HistoryTableModel::DateColumn, 150);

    // Each button is named after its action, as DVK_DEV_ACTIONS names it.
    auto button = [this](const QString& title, const char* action, auto run) {
        auto* b = new QPushButton(title, this);
        b->setObjectName(QString::fromLatin1(action));
        connect(b, &QPushButton::clicked, this, run);
        return b;
    };
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(button(tr("Add"), "addToHistory:", [this] { controller_.addToHistory(); }));
    buttons->addWidget(button(tr("Remove"), "removeFromHistory:", [this] { controller_.removeFromHistory(); }));
    buttons->addWidget(button(tr("Reload"), "reloadWithSelectedHistoryRecord:",
                              [this] { controller_.reloadWithSelectedHistoryRecord(); }));
    buttons->addWidget(
        button(tr("Apply to Files..."), "addToHistoryForMany:", [this] { controller_.addToHistoryForMany(); }));
    quickLook_ = new HistoryQuickLook(controller_.historyList(), *this, *table_);
    buttons->addWidget(quickLook_->button());
    buttons->addStretch(1);
    buttons->addWidget(button(tr("Make Folder Default"), "setDirectoryDefault",
                              [this] { controller_.setDirectoryDefault(); }));
    buttons->addWidget(button(tr("Make Camera Default"), "setGlobalCameraDefault",
                              [this] { controller_.setGlobalCameraDefault(); }));

    // Tidying the history.
    auto* upkeep = new QHBoxLayout;
    upkeep->addWidget(
        button(tr("Run Batch"), "runBatchWithSelection:", [this] { controller_.runBatchWithSelection(); }));
    upkeep->addWidget(
        button(tr("Clear Destination"), "clearDestinationFile:", [this] { controller_.clearDestinationFile(); }));
    upkeep->addWidget(button(tr("Rename Source..."), "renameSource:", [this] { controller_.renameSource(); }));
    upkeep->addStretch(1);
    // With a file open the table lists the records that concern it; this
    // lists every record (those of moved and vanished files too).
    showAll_ = new QCheckBox(tr("Show all records"), this);
    showAll_->setObjectName(QStringLiteral("showAll"));
    showAll_->setChecked(controller_.historyList().showsAll());
    connect(showAll_, &QCheckBox::toggled, this, [this](bool on) { controller_.historyList().setShowsAll(on); });
    upkeep->addWidget(showAll_);
    upkeep->addWidget(button(tr("Clean History..."), "cleanHistory:", [this] { controller_.cleanHistory(); }));

    status_ = new QLabel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    layout->addLayout(upkeep);
    layout->addWidget(status_);
    resize(1000, 420);

    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionFromView(); });
    // A double click opens the record's file with the record's settings.
    connect(table_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openRecordAt(index.row()); });
    listener_ = controller_.historyList().addListener([this](HistoryList::Change) { selectionToView(); });
    selectionToView();
}

HistoryWindow::~HistoryWindow() { controller_.historyList().removeListener(listener_); }

bool HistoryWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) controller_.reloadHistory();
    return QWidget::event(event);
}

void HistoryWindow::setStatusText(const QString& text) { status_->setText(text); }

void HistoryWindow::openRecordAt(int row) {
    const std::vector<HistoryMO>& records = controller_.historyList().arrangedObjects();
    if (row < 0 || static_cast<std::size_t>(row) >= records.size()) return;
    controller_.setFromHistoryAndOpen(records[static_cast<std::size_t>(row)]);
}

void HistoryWindow::selectionFromView() {
    if (syncing_) return;
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    syncing_ = true;
    controller_.historyList().setSelectionIndexes(rows);
    syncing_ = false;
}

void HistoryWindow::selectionToView() {
    if (syncing_) return;
    syncing_ = true;
    QItemSelection selection;
    for (std::size_t row : controller_.historyList().selectionIndexes()) {
        QModelIndex first = model_->index(static_cast<int>(row), 0);
        QModelIndex last = model_->index(static_cast<int>(row), HistoryTableModel::ColumnCount - 1);
        selection.select(first, last);
    }
    table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selection.isEmpty()) table_->scrollTo(selection.indexes().front());
    syncing_ = false;
}

}  // namespace dvk
