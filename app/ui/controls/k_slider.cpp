#include "app/ui/controls/k_slider.h"

#include <algorithm>
#include <cmath>

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionSlider>

#include "app/window/control_rules.h"
#include "app/ui/controls/no_click_through.h"
#include "app/ui/controls/wheel_steps.h"

namespace dvk {

ScrollAccumulator KSlider::accumulator_;
std::function<bool()> KSlider::dontScroll_;

void KSlider::setDontMouseScrollValues(std::function<bool()> query) { dontScroll_ = std::move(query); }

KSlider::KSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    QSlider::setRange(0, kPositions);
    setFocusPolicy(Qt::StrongFocus);
    // Position changes while dragging show only; the value is set at release.
    setTracking(false);
}

void KSlider::setDoubleRange(double minValue, double maxValue) {
    min_ = minValue;
    max_ = std::max(maxValue, minValue);
    setDoubleValue(value_);
}

double KSlider::step() const { return sliderStep(tag_, min_, max_); }

double KSlider::fromPosition(int position) const {
    return min_ + (max_ - min_) * static_cast<double>(position) / kPositions;
}

int KSlider::toPosition(double v) const {
    if (!(max_ > min_)) return 0;
    const double t = std::clamp((v - min_) / (max_ - min_), 0.0, 1.0);
    return static_cast<int>(std::lround(t * kPositions));
}

int KSlider::positionAt(QPointF point) const {
    // The knob's centre travels from half its length past the groove's start
    // to as far before its end, as the style draws it.
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect knob = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    const bool horizontal = orientation() == Qt::Horizontal;
    const double length = horizontal ? knob.width() : knob.height();
    const double travel = (horizontal ? groove.width() : groove.height()) - length;
    if (travel <= 0) return sliderPosition();
    const double along = horizontal ? point.x() - groove.x() : point.y() - groove.y();
    double t = std::clamp((along - length / 2) / travel, 0.0, 1.0);
    if (opt.upsideDown) t = 1 - t;
    return static_cast<int>(std::lround(t * kPositions));
}

void KSlider::setDoubleValue(double v) {
    value_ = v;
    const QSignalBlocker block(this);
    // Value and knob both: the slider's own page steps start from the value.
    setValue(toPosition(v));
}

void KSlider::commit(double v) {
    setDoubleValue(std::clamp(v, min_, max_));
    emit valueEdited(value_);
}

void KSlider::mousePressEvent(QMouseEvent* event) {
    if (activatesWindowInstead(this)) {
        event->ignore();
        return;
    }
    pressValue_ = value_;
    tracking_ = true;
    if (event->button() == Qt::LeftButton) {
        // A press on the groove puts the knob under the pointer, where the
        // press then takes hold of it: released there, the value is the
        // point's; dragged on, it follows the pointer.
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const QStyle::SubControl hit =
            style()->hitTestComplexControl(QStyle::CC_Slider, &opt, event->position().toPoint(), this);
        if (hit == QStyle::SC_SliderGroove) {
            const QSignalBlocker block(this);
            setSliderPosition(positionAt(event->position()));
        }
    }
    QSlider::mousePressEvent(event);
}

void KSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (!tracking_) return;
    tracking_ = false;
    const double tracked = fromPosition(sliderPosition());
    commit(sliderDragValue(pressValue_, tracked, step()));
}

void KSlider::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Down || key == Qt::Key_Up) {
        const bool right = key == Qt::Key_Right || key == Qt::Key_Up;
        commit(sliderArrowValue(value_, step(), right));
        event->accept();
        return;
    }
    // The slider's other keys (page up and down, home, end) set the value
    // they move the knob to.
    const int before = sliderPosition();
    QSlider::keyPressEvent(event);
    if (sliderPosition() != before) commit(fromPosition(sliderPosition()));
}

void KSlider::wheelEvent(QWheelEvent* event) {
    if (wheelScrollsPanel(this)) {
        event->ignore();  // the panel scrolls
        return;
    }
    // QSlider's own wheel would move the knob alone: a step sets the value.
    const std::optional<double> e = wheelStepDirection(event, isEnabled(), dontScroll_, accumulator_);
    if (!e || *e == 0) return;
    commit(sliderArrowValue(value_, step(), *e > 0));
}

}  // namespace dvk
