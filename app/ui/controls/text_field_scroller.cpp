#include "app/ui/controls/text_field_scroller.h"

#include <QtGui/QWheelEvent>

#include "app/common/number_text.h"
#include "app/ui/controls/wheel_steps.h"

namespace dvk {

ScrollAccumulator TextFieldScroller::accumulator_;
std::function<bool()> TextFieldScroller::dontScroll_;

QValidator::State NumberFilter::validate(QString& input, int&) const {
    return isPartialNumberValid(input.toStdString()) ? Acceptable : Invalid;
}

TextFieldScroller::TextFieldScroller(QWidget* parent) : QLineEdit(parent) {
    setValidator(new NumberFilter(this));
    setMouseTracking(true);
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (!isModified()) return;
        setModified(false);
        const std::optional<double> v = typedFieldValue(text().toStdString(), min_, max_);
        if (!v) {
            // No number: the old value stays, and is shown again.
            showValue(shown_, decimals_);
            return;
        }
        emit valueEdited(*v);
    });
}

void TextFieldScroller::setDontMouseScrollValues(std::function<bool()> query) { dontScroll_ = std::move(query); }

double TextFieldScroller::value() const {
    return typedFieldValue(text().toStdString(), min_, max_).value_or(shown_);
}

void TextFieldScroller::setValueRange(double minValue, double maxValue) {
    min_ = minValue;
    max_ = maxValue;
}

void TextFieldScroller::showValue(double v, int decimals) {
    decimals_ = decimals;
    shown_ = v;
    const QString t = QString::fromStdString(formatFixed(v, decimals));
    if (t != text()) setText(t);
    setModified(false);
}

void TextFieldScroller::wheelEvent(QWheelEvent* event) {
    if (wheelScrollsPanel(this)) {
        event->ignore();  // the panel scrolls
        return;
    }
    const std::optional<double> e = wheelStepDirection(event, isEnabled() && !isReadOnly(), dontScroll_, accumulator_);
    if (!e) return;
    const std::optional<float> next = scrolledFieldValue(static_cast<float>(value()), tag_, *e);
    if (!next) return;
    showValue(*next, decimals_);
    setCursor(Qt::BlankCursor);
    emit valueEdited(*next);
}

void TextFieldScroller::mouseMoveEvent(QMouseEvent* event) {
    showCursorHiddenByWheel(this);
    QLineEdit::mouseMoveEvent(event);
}

}  // namespace dvk
