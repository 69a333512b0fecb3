#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QLineEdit>
#include <QtGui/QFileSystemModel>
#include <QtWidgets/QListView>

#include "platform/qt/qt_platform.h"

namespace dvk {

namespace {

QStringList name_filters(const std::vector<std::string>& types) {
    if (types.empty()) return {};
    QString patterns;
    for (const std::string& t : types) {
        if (!patterns.isEmpty()) patterns += ' ';
        patterns += "*." + QString::fromStdString(t);
    }
    return {patterns};
}

// A file dialog on which Open takes every selected item, folders included,
// as one choice; a double click still enters a folder. A path typed into the
// name field is the choice itself, whatever the list still has selected (its
// completion selects the folders it passes on the way): a folder panel takes
// a typed folder, a file panel a typed file and enters a typed folder.
class FilesAndFoldersDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    QStringList chosen;

    void accept() override {
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QString typed = edit ? edit->text().trimmed() : QString();
        if (typed.startsWith(QLatin1String("~/")) || typed == QLatin1String("~"))
            typed = QDir::homePath() + typed.mid(1);
        if (typed.startsWith(QLatin1Char('/'))) {
            const QFileInfo info(typed);
            const bool folders = fileMode() == QFileDialog::Directory;
            if (info.isDir() && !folders) {
                setDirectory(info.absoluteFilePath());
                edit->clear();
            } else if (info.exists() && info.isDir() == folders) {
                chosen = {QDir::cleanPath(info.absoluteFilePath())};
                QDialog::accept();
            } else {
                QFileDialog::accept();  // Qt's word on a path that is not there
            }
            return;
        }
        QStringList picked;
        if (auto* view = findChild<QListView*>(QStringLiteral("listView")); view && view->selectionModel()) {
            for (const QModelIndex& index : view->selectionModel()->selectedRows(0)) {
                QString path = index.data(QFileSystemModel::FilePathRole).toString();
                if (!path.isEmpty() && !picked.contains(path)) picked << path;
            }
        }
        bool hasFolder = false;
        for (const QString& p : picked) hasFolder = hasFolder || QFileInfo(p).isDir();
        if (!hasFolder) {
            QFileDialog::accept();
            return;
        }
        chosen = picked;
        QDialog::accept();
    }
};

void start_at(QFileDialog& dialog, const std::string& start) {
    if (start.empty()) return;
    QFileInfo info(QString::fromStdString(start));
    if (dialog.fileMode() == QFileDialog::Directory && !info.isDir()) {
        // A folder panel started at a file opens on the file's folder, which
        // is then its choice (nothing typed): choosing at once takes it.
        dialog.setDirectory(info.absolutePath());
        return;
    }
    if (info.isDir()) {
        dialog.setDirectory(info.absoluteFilePath());
    } else {
        dialog.setDirectory(info.absolutePath());
        if (info.exists()) dialog.selectFile(info.fileName());
    }
}

// The detail view's size, type and date columns as wide as what they show
// (the dialog's own widths cut sizes, types and dates short); the name takes
// the rest.
void sizeColumnsToContent(QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!view) return;
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

int runPanel(QFileDialog& dialog) {
    sizeColumnsToContent(dialog);
    const KeyboardFocusReturn focus;
    return dialog.exec();
}

}  // namespace

std::optional<std::vector<std::string>> QtPanels::runOpenPanel(const OpenPanelRequest& request) {
    FilesAndFoldersDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (request.canChooseDirectories && !request.canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dialog.setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    QStringList filters = name_filters(request.fileTypes);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    start_at(dialog, request.startPath);
    if (runPanel(dialog) != QDialog::Accepted) return std::nullopt;
    QStringList paths = dialog.chosen.isEmpty() ? dialog.selectedFiles() : dialog.chosen;
    if (!request.canChooseDirectories) {
        QStringList files;
        for (const QString& p : paths)
            if (!QFileInfo(p).isDir()) files << p;
        paths = files;
    }
    if (!request.allowsMultipleSelection && paths.size() > 1) paths = paths.mid(0, 1);
    std::vector<std::string> out;
    for (const QString& p : paths) out.push_back(QDir::cleanPath(QFileInfo(p).absoluteFilePath()).toStdString());
    if (out.empty()) return std::nullopt;
    return out;
}

std::optional<std::string> QtPanels::runSavePanel(const SavePanelRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters = name_filters(request.fileTypes);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(QString::fromStdString(request.fileTypes.front()));
    }
    if (!request.directory.empty()) {
        // A folder not made yet (a destination's, made by the first save there):
        // the panel opens at the nearest folder above it.
        QString folder = QString::fromStdString(request.directory);
        while (!QFileInfo(folder).isDir() && QFileInfo(folder).path() != folder) folder = QFileInfo(folder).path();
        dialog.setDirectory(folder);
    }
    if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
    if (runPanel(dialog) != QDialog::Accepted) return std::nullopt;
    QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return QDir::cleanPath(QFileInfo(files.front()).absoluteFilePath()).toStdString();
}

}  // namespace dvk
