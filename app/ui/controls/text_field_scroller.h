// TextFieldScroller: a numeric field that the scroll wheel steps by its tag
// / 100 (a classic wheel on every event, a trackpad gesture once at its start
// and then once per 2.0 of travel), and that accepts only the start of a
// number while typed (a comma counts as the decimal point). Its value is
// bound: `valueEdited` carries each value the user gives it. A finished edit
// reads the whole text as a number (typedFieldValue: within the field's
// range, an infinity as its end); a text that is no number gives nothing and
// the field shows its value again.
#pragma once

#include <functional>

#include <QtGui/QValidator>
#include <QtWidgets/QLineEdit>

#include "app/window/control_rules.h"

namespace dvk {

// The number formatter's filter: a partial text is acceptable while it can
// begin a number.
class NumberFilter : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

class TextFieldScroller : public QLineEdit {
    Q_OBJECT
public:
    explicit TextFieldScroller(QWidget* parent = nullptr);

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    // Whether the wheel is off for fields (the controller's preference).
    static void setDontMouseScrollValues(std::function<bool()> query);

    // The number of the text, or the value last shown when the text is none.
    double value() const;
    // The range typed values are brought into (none: every finite number).
    void setValueRange(double minValue, double maxValue);
    // The decimals the field shows its value with.
    int decimals() const { return decimals_; }
    // Shows `v` without telling anyone (a bound value coming back).
    void showValue(double v, int decimals = 2);

signals:
    void valueEdited(double value);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int tag_ = 0;
    int decimals_ = 2;
    double shown_ = 0;
    double min_ = -1.0e308, max_ = 1.0e308;
    static ScrollAccumulator accumulator_;
    static std::function<bool()> dontScroll_;
};

}  // namespace dvk
