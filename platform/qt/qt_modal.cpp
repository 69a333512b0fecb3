#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QMainWindow>

#include "platform/modal_session.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

namespace {

QWidget* visibleMainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible()) return w;
    return nullptr;
}

}  // namespace

KeyboardFocusReturn::KeyboardFocusReturn() {
    window_ = QApplication::activeModalWidget();  // an alert over a dialog
    if (!window_) window_ = QApplication::activeWindow();
    if (!window_) window_ = visibleMainWindow();
}

KeyboardFocusReturn::~KeyboardFocusReturn() {
    if (!window_ || !window_->isVisible() || window_->isMinimized()) return;
    // An inner modal window closing inside an outer one gives the keyboard
    // to the outer one; the outer one's end gives it on.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window_) return;
    window_->activateWindow();
}

int execModalDialog(QDialog& dialog) {
    if (modalSessionsDismissed()) {
        dialog.reject();
        return dialog.result();
    }
    ModalSession session;
    const KeyboardFocusReturn focus;
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
