// The system clipboard as the general pasteboard (text only). Used on the
// main thread; a worker's call waits while the main thread reads or writes.
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>

#include "platform/dispatch.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

bool QtPasteboard::setString(std::string_view text) {
    bool ok = false;
    runOnMainQueueSync([&] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard) return;
        const QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        clipboard->setText(value);
        ok = clipboard->text() == value;
    });
    return ok;
}

bool QtPasteboard::hasString() const { return string().has_value(); }

std::optional<std::string> QtPasteboard::string() const {
    std::optional<std::string> out;
    runOnMainQueueSync([&] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard) return;
        const QString text = clipboard->text();
        if (!text.isNull()) out = text.toStdString();
    });
    return out;
}

void QtPasteboard::clearContents() {
    runOnMainQueueSync([] {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear();
    });
}

}  // namespace dvk
