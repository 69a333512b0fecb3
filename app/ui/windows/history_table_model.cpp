#include "app/ui/windows/history_table_model.h"

#include <sys/stat.h>

#include <QtCore/QDateTime>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QGuiApplication>
#include <QtGui/QPalette>

#include "app/controller/controller.h"
#include "app/history/history_defaults.h"
#include "platform/dispatch.h"
#include "platform/folder_functions.h"

namespace dvk {

namespace {

// The table's font: the system font at 12 pixels on a 96 dpi screen (9 points),
// scaled with the screen like every other text.
QFont cell_font(bool bold) {
    QFont f = QGuiApplication::font();
    f.setPointSizeF(9.0);
    f.setBold(bold);
    return f;
}

}  // namespace

HistoryTableModel::HistoryTableModel(Controller& controller, QObject* parent)
    : QAbstractTableModel(parent), controller_(controller), exists_(exists_at) {
    listener_ = controller_.historyList().addListener([this](HistoryList::Change change) {
        if (change == HistoryList::Change::Contents) {
            beginResetModel();
            endResetModel();
        }
    });
    // A search ended (on its own thread): the source cells may change colour.
    searchListener_ = controller_.fileSearch().addListener([this, alive = std::weak_ptr<int>(alive_)] {
        postToMainQueue([this, alive] {
            if (!alive.lock()) return;
            if (rowCount() > 0) emit dataChanged(index(0, SourceColumn), index(rowCount() - 1, SourceColumn));
        });
    });
}

HistoryTableModel::~HistoryTableModel() {
    controller_.fileSearch().removeListener(searchListener_);
    controller_.historyList().removeListener(listener_);
}

QColor HistoryTableModel::folderDefaultColour() { return QColor(0, 122, 255); }

QColor HistoryTableModel::missingColour() { return QColor(142, 142, 147); }

QColor HistoryTableModel::missingFoundColour() {
    QColor orange(255, 149, 0);
    orange.setAlphaF(0.9f);
    return orange;
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(controller_.historyList().arrangedObjects().size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case SourceColumn:
            return tr("Source");
        case DestinationColumn:
            return tr("Destination");
        case CameraColumn:
            return tr("Camera");
        case DateColumn:
            return tr("Date");
        case CommentColumn:
            return tr("Comment");
    }
    return {};
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    const auto& rows = controller_.historyList().arrangedObjects();
    if (!index.isValid() || index.row() < 0 || index.row() >= static_cast<int>(rows.size())) return {};
    const HistoryMO& record = rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    const bool pathColumn = column == SourceColumn || column == DestinationColumn;
    std::string path;
    if (pathColumn) path = column == SourceColumn ? record.sourceFile() : record.destinationFile();

    if (role == Qt::DisplayRole) {
        switch (column) {
            case SourceColumn:
            case DestinationColumn:
                return QString::fromStdString(path);
            case CameraColumn:
                return QString::fromStdString(record.camera());
            case DateColumn:
                return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(record.creationDate() * 1000.0))
                    .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            case CommentColumn:
                return QString::fromStdString(record.comment());
        }
        return {};
    }
    if (role != Qt::FontRole && role != Qt::ForegroundRole) return {};
    HistoryCellStyle style = HistoryCellStyle::Plain;
    if (pathColumn) {
        const RawProcessor* r = controller_.rawProcessor();
        style = historyCellStyle(column == SourceColumn, path, r ? r->fileName() : std::string(), exists_,
                                 [this](const std::string& p) {
                                     return controller_.fileSearch().hasCandidatesNow(p).value_or(false);
                                 });
    }
    if (role == Qt::FontRole)
        return cell_font(style == HistoryCellStyle::OpenFile || style == HistoryCellStyle::FolderDefault);
    switch (style) {
        case HistoryCellStyle::FolderDefault:
            return folderDefaultColour();
        case HistoryCellStyle::Missing:
            return missingColour();
        case HistoryCellStyle::MissingFound:
            return missingFoundColour();
        default:
            return {};
    }
}

}  // namespace dvk
