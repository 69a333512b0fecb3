#include <QtGui/QGuiApplication>

#include "platform/dispatch.h"
#include "platform/modal_session.h"
#include "platform/modifier_keys.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

unsigned modifierFlagsFromQt(Qt::KeyboardModifiers modifiers) {
    unsigned flags = 0;
    if (modifiers & Qt::ShiftModifier) flags |= kShiftKeyMask;
    if (modifiers & Qt::ControlModifier) flags |= kCommandKeyMask;
    if (modifiers & Qt::AltModifier) flags |= kAlternateKeyMask;
    if (modifiers & Qt::MetaModifier) flags |= kControlKeyMask;
    return flags;
}

void installQtPlatform() {
    installQtMainQueue();
    setAlertPresenter(presentAlertWithMessageBox);
    setPanelPresenter(std::make_shared<QtPanels>());
    set_trash(std::make_shared<QtTrash>());
    setModifierFlagsQuery([] {
        // Asked on the main thread (a worker waits for the answer).
        Qt::KeyboardModifiers modifiers;
        runOnMainQueueSync([&] { modifiers = QGuiApplication::queryKeyboardModifiers(); });
        return modifierFlagsFromQt(modifiers);
    });
    set_general_pasteboard(std::make_shared<QtPasteboard>());
    setModalDismisser(closeModalWidgets);
}

void uninstallQtPlatform() {
    setModalDismisser({});
    set_general_pasteboard(nullptr);
    setModifierFlagsQuery({});
    set_trash(nullptr);
    setPanelPresenter(nullptr);
    setAlertPresenter({});
    uninstallQtMainQueue();
}

}  // namespace dvk
