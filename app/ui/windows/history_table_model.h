// The history table's model: the controller's history list as rows, one
// column per shown attribute. Path cells are styled by the history's cell
// rule (bold for the open file, bold blue for a default, grey for a source
// that no longer exists, orange when the search for moved files knows files
// of its name; the search runs in the background and the cells follow).
#pragma once

#include <QtCore/QAbstractTableModel>
#include <functional>
#include <memory>
#include <string>

namespace dvk {

class Controller;

class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { SourceColumn, DestinationColumn, CameraColumn, DateColumn, CommentColumn, ColumnCount };

    explicit HistoryTableModel(Controller& controller, QObject* parent = nullptr);
    ~HistoryTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Whether a file exists at a path (tests replace it).
    void setFileExists(std::function<bool(const std::string&)> exists) { exists_ = std::move(exists); }
    // The colours of a default's path and of a missing source.
    static QColor folderDefaultColour();
    static QColor missingColour();
    static QColor missingFoundColour();

private:
    Controller& controller_;
    int listener_ = 0;
    int searchListener_ = 0;
    std::function<bool(const std::string&)> exists_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace dvk
