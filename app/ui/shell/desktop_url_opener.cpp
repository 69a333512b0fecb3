#include "app/ui/shell/desktop_url_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace dvk {

bool DesktopUrlOpener::openUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}

}  // namespace dvk
