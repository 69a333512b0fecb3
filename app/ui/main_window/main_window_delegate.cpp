#include "app/ui/main_window/main_window_delegate.h"

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>

#include "app/ui/main_window/main_window.h"
#include "app/ui/controls/text_field_scroller.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

MainWindowDelegate::MainWindowDelegate(MainWindow& window) : window_(window) {
    window_.installEventFilter(this);
    for (TextFieldScroller* field : window_.findChildren<TextFieldScroller*>()) {
        field->installEventFilter(this);
        // After the field's own handler, which hands an edited value on.
        QPointer<TextFieldScroller> f(field);
        connect(field, &QLineEdit::editingFinished, this, [this, f] {
            if (f) controlTextDidEndEditing(*f);
        });
    }
}

bool MainWindowDelegate::windowShouldClose(QWidget*) const { return true; }

void MainWindowDelegate::windowWillClose(QWidget* window) {
    if (window && window == profilingPanel_ && window->isVisible() && profilingCloseSteps_) profilingCloseSteps_();
}

void MainWindowDelegate::windowDidChangeFullScreen() {
    // In full screen the window system owns the frame; back from it, the
    // window returns to its corner.
    if (window_.isFullScreen()) return;
    window_.anchorFrameRect(window_.geometry());
}

std::optional<FieldCommand> MainWindowDelegate::fieldCommandForKey(int key, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & ~Qt::KeypadModifier) != Qt::NoModifier) return std::nullopt;
    switch (key) {
    case Qt::Key_Up: return FieldCommand::MoveUp;
    case Qt::Key_Down: return FieldCommand::MoveDown;
    case Qt::Key_PageUp: return FieldCommand::PageUp;
    case Qt::Key_PageDown: return FieldCommand::PageDown;
    default: return std::nullopt;
    }
}

bool MainWindowDelegate::doCommandBySelector(TextFieldScroller& field, FieldCommand command) {
    const std::optional<float> next = steppedFieldValue(field.tag(), static_cast<float>(field.value()), command);
    if (!next) return false;
    field.showValue(*next, field.decimals());
    emit field.valueEdited(*next);
    return true;
}

std::string MainWindowDelegate::boundKey(const TextFieldScroller& field) {
    std::string name = field.objectName().toStdString();
    static const std::string suffix = "Field";
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize(name.size() - suffix.size());
    return name;
}

void MainWindowDelegate::controlTextDidEndEditing(TextFieldScroller& field) {
    const std::string key = boundKey(field);
    if (key.empty()) return;
    // Read once the apply worker leaves the settings alone, after the
    // change the edit made.
    QPointer<TextFieldScroller> f(&field);
    PreviewController& pc = window_.controller();
    pc.whenIdle([&pc, key, f] {
        if (!f) return;
        try {
            f->showValue(pc.rawProcessor().valueForKey(key).double_value(), f->decimals());
        } catch (const std::exception&) {
            // Not a setting: the field has no binding.
        }
    });
}

void MainWindowDelegate::setProfilingPanel(QWidget* panel, std::function<void()> closeSteps) {
    if (profilingPanel_) profilingPanel_->removeEventFilter(this);
    profilingPanel_ = panel;
    profilingCloseSteps_ = std::move(closeSteps);
    if (panel) panel->installEventFilter(this);
}

bool MainWindowDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (auto* field = qobject_cast<TextFieldScroller*>(watched)) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const std::optional<FieldCommand> command = fieldCommandForKey(key->key(), key->modifiers());
            if (command && field->isEnabled() && !field->isReadOnly() && doCommandBySelector(*field, *command))
                return true;
        }
    } else if (event->type() == QEvent::Close && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (windowShouldClose(window)) windowWillClose(window);
    } else if (event->type() == QEvent::WindowStateChange && watched == &window_) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((change->oldState() & Qt::WindowFullScreen) != (window_.windowState() & Qt::WindowFullScreen))
            // Once the window has its new frame.
            QTimer::singleShot(0, this, [this] { windowDidChangeFullScreen(); });
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace dvk
