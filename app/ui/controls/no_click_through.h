// Controls that do not act on the click that activates their window (the
// click only brings the window forward).
#pragma once

#include <QtWidgets/QPushButton>
#include <QtWidgets/QWidget>

namespace dvk {

// True when `event`'s widget's window is not the active one: the caller
// activates it and ignores the press.
bool activatesWindowInstead(QWidget* widget);

class NoClickThroughButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace dvk
