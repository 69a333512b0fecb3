// Wheel steps of the scroll-wheel controls (TextFieldScroller,
// PopUpButtonScroller): the phase of a wheel event, whether an event takes a
// step and in which direction, and the cursor hidden while the wheel steps.
#pragma once

#include <functional>
#include <optional>

#include "app/window/control_rules.h"

class QWheelEvent;
class QWidget;

namespace dvk {

// The phase of a wheel event as the scroll rules know it.
unsigned scrollPhaseOf(const QWheelEvent* event);

// The direction of the step `event` takes on a control, or nullopt when it
// takes none. The event is ignored when `active` is false or `dontScroll`
// (the preference turning the wheel off) says so; otherwise it is accepted
// and `accumulator` decides whether it steps.
std::optional<double> wheelStepDirection(QWheelEvent* event, bool active, const std::function<bool()>& dontScroll,
                                         ScrollAccumulator& accumulator);

// Whether the wheel over `control` scrolls the panel around it instead of
// stepping the control: the control has not the keyboard focus and sits in a
// scroll area that has something to scroll (a panel taller than the screen
// lets it show). The control then leaves the event to the panel.
bool wheelScrollsPanel(const QWidget* control);

// A mouse move over `control` shows the cursor a wheel step hid.
void showCursorHiddenByWheel(QWidget* control);

}  // namespace dvk
