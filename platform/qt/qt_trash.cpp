// The freedesktop Trash through Qt: the home Trash for files on the home's
// volume, the volume's own ".Trash-<uid>" elsewhere.
#include <QtCore/QFile>
#include <QtCore/QString>

#include "platform/qt/qt_platform.h"

namespace dvk {

bool QtTrash::moveToTrash(const std::string& path, std::string* error) {
    QFile file(QString::fromStdString(path));
    if (file.moveToTrash()) return true;
    if (error) *error = file.errorString().toStdString();
    return false;
}

}  // namespace dvk
