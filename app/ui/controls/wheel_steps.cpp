#include "app/ui/controls/wheel_steps.h"

#include <QtGui/QWheelEvent>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QWidget>

namespace dvk {

unsigned scrollPhaseOf(const QWheelEvent* event) {
    switch (event->phase()) {
    case Qt::NoScrollPhase: return kNoPhase;
    case Qt::ScrollBegin: return kPhaseBegan;
    case Qt::ScrollUpdate:
    case Qt::ScrollMomentum: return kPhaseChanged;
    case Qt::ScrollEnd: return kPhaseEnded;
    }
    return kNoPhase;
}

std::optional<double> wheelStepDirection(QWheelEvent* event, bool active, const std::function<bool()>& dontScroll,
                                         ScrollAccumulator& accumulator) {
    if (!active || (dontScroll && dontScroll())) {
        event->ignore();
        return std::nullopt;
    }
    const double deltaY = event->angleDelta().y() / 120.0;
    event->accept();
    if (!accumulator.step(deltaY, scrollPhaseOf(event))) return std::nullopt;
    return scrollDirection(deltaY, event->inverted());
}

bool wheelScrollsPanel(const QWidget* control) {
    if (control->hasFocus()) return false;
    for (const QWidget* w = control->parentWidget(); w; w = w->parentWidget()) {
        if (const auto* area = qobject_cast<const QAbstractScrollArea*>(w))
            return area->verticalScrollBar()->maximum() > area->verticalScrollBar()->minimum();
        if (w->isWindow()) break;
    }
    return false;
}

void showCursorHiddenByWheel(QWidget* control) {
    if (control->cursor().shape() == Qt::BlankCursor) control->unsetCursor();
}

}  // namespace dvk
