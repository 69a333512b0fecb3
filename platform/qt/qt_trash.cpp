// The freedesktop Trash through Qt: the home Trash for files on the home's
// volume, the volume's own ".Trash-<uid>" elsewhere.
//
// Qt needs the home Trash's parent folder ($XDG_DATA_HOME) to exist: without
// it, it "trashes" the file into a "files" folder of the working directory.
// The folder is made first, and a file that still ends up anywhere but in an
// absolute Trash path is put back and reported.
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QStandardPaths>
#include <QtCore/QString>

#include "platform/qt/qt_platform.h"

namespace dvk {

bool QtTrash::moveToTrash(const std::string& path, std::string* error) {
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    const QString original = QString::fromStdString(path);
    QFile file(original);
    if (!file.moveToTrash()) {
        if (error) *error = file.errorString().toStdString();
        return false;
    }
    if (QDir::isAbsolutePath(file.fileName())) return true;
    QFile::rename(QDir::current().absoluteFilePath(file.fileName()), original);
    if (error) *error = "no Trash could be found for " + path;
    return false;
}

}  // namespace dvk
