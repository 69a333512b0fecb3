// KSlider: a slider over doubles that snaps to sensible steps. The step is
// its tag / 100, else one chosen from its range. A drag moves by whole steps
// from where it began (less than two steps leaves the value alone) and acts
// once, at release; the arrow keys and each step of the scroll wheel move
// one step from the step grid (the wheel not while the preference turns the
// wheel off for values: then it scrolls what holds the slider); the page,
// home and end keys set the value they move the knob to. A press on the
// groove puts the knob at the point pressed, and a drag goes on from there.
// The value is bound: `valueEdited` carries each value the user gives it.
#pragma once

#include <functional>

#include <QtWidgets/QSlider>

#include "app/window/control_rules.h"

namespace dvk {

class KSlider : public QSlider {
    Q_OBJECT
public:
    explicit KSlider(QWidget* parent = nullptr);

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    void setDoubleRange(double minValue, double maxValue);
    double minimumValue() const { return min_; }
    double maximumValue() const { return max_; }
    double step() const;
    double doubleValue() const { return value_; }
    // Shows `v` without telling anyone.
    void setDoubleValue(double v);
    // Whether the wheel is off for values (the controller's preference).
    static void setDontMouseScrollValues(std::function<bool()> query);

signals:
    void valueEdited(double value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    double fromPosition(int position) const;
    int toPosition(double v) const;
    // The position of the knob centred at `point`.
    int positionAt(QPointF point) const;
    void commit(double v);

    static constexpr int kPositions = 10000;
    int tag_ = 0;
    double min_ = 0, max_ = 1;
    double value_ = 0;
    double pressValue_ = 0;
    bool tracking_ = false;
    static ScrollAccumulator accumulator_;
    static std::function<bool()> dontScroll_;
};

}  // namespace dvk
