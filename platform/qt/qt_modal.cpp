#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>

#include "platform/modal_session.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

int execModalDialog(QDialog& dialog) {
    if (modalSessionsDismissed()) {
        dialog.reject();
        return dialog.result();
    }
    ModalSession session;
    return dialog.exec();
}

void closeModalWidgets() {
    // The innermost first: each rejected dialog leaves its modal run once
    // the event that asked for this has been handled.
    for (int guard = 0; guard < 64; ++guard) {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
        else
            w->close();
        // A window that stays up on its cancel (it asks first, or closes
        // later) is hidden, which ends its modal run too.
        if (QApplication::activeModalWidget() == w) w->hide();
    }
}

}  // namespace dvk
