#include "app/ui/text_field_scroller.h"

#include <QtGui/QWheelEvent>

#include "app/number_text.h"

namespace dvk {

ScrollAccumulator TextFieldScroller::accumulator_;

namespace {

std::function<bool()>& dontScroll() {
    static std::function<bool()> query;
    return query;
}

}  // namespace

QValidator::State NumberFilter::validate(QString& input, int&) const {
    return isPartialNumberValid(input.toStdString()) ? Acceptable : Invalid;
}

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

TextFieldScroller::TextFieldScroller(QWidget* parent) : QLineEdit(parent) {
    setValidator(new NumberFilter(this));
    setMouseTracking(true);
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (isModified()) {
            setModified(false);
            emit valueEdited(value());
        }
    });
}

void TextFieldScroller::setDontMouseScrollValues(std::function<bool()> query) { dontScroll() = std::move(query); }

double TextFieldScroller::value() const { return numberFromText(text().toStdString()); }

void TextFieldScroller::showValue(double v, int decimals) {
    decimals_ = decimals;
    const QString t = QString::fromStdString(formatFixed(v, decimals));
    if (t != text()) setText(t);
    setModified(false);
}

void TextFieldScroller::wheelEvent(QWheelEvent* event) {
    if (!isEnabled() || isReadOnly() || (dontScroll() && dontScroll()())) {
        event->ignore();
        return;
    }
    const double deltaY = event->angleDelta().y() / 120.0;
    event->accept();
    if (!accumulator_.step(deltaY, scrollPhaseOf(event))) return;
    const double e = scrollDirection(deltaY, event->inverted());
    const std::optional<float> next = scrolledFieldValue(static_cast<float>(value()), tag_, e);
    if (!next) return;
    showValue(*next, decimals_);
    setCursor(Qt::BlankCursor);
    emit valueEdited(*next);
}

void TextFieldScroller::mouseMoveEvent(QMouseEvent* event) {
    if (cursor().shape() == Qt::BlankCursor) unsetCursor();
    QLineEdit::mouseMoveEvent(event);
}

}  // namespace dvk
