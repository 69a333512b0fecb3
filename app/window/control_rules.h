// The rules of the main window's own controls, free of any toolkit: the
// slider's steps, the scroll-wheel stepping of fields and pop-ups, the arrow
// and page keys of numeric fields, and the number fields' input filter.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dvk {

// --- KSlider ---------------------------------------------------------------
// The step of a slider: tag / 100 with a tag, else one that suits its range.
double sliderStep(int tag, double minValue, double maxValue);
// The value after dragging from `before` to `tracked`: back to `before` when
// it moved less than two steps, else `before` plus whole steps.
double sliderDragValue(double before, double tracked, double step);
// The value after an arrow key: the value on the step grid, one step on.
double sliderArrowValue(double value, double step, bool right);

// --- scroll wheel ------------------------------------------------------------
// Scroll phases of the wheel events (a wheel without phase is kNoPhase).
enum ScrollPhase : unsigned {
    kNoPhase = 0,
    kPhaseBegan = 1,
    kPhaseStationary = 2,
    kPhaseChanged = 4,
    kPhaseEnded = 8,
    kPhaseCancelled = 16,
    kPhaseMayBegin = 32,
};

// The accumulated scroll of one class of controls (text fields share one,
// pop-ups another): a classic wheel steps on every event, a gesture at its
// start and then once per 2.0 of accumulated delta.
class ScrollAccumulator {
public:
    // Adds |deltaY|; true when this event takes a step (the sum restarts).
    bool step(double deltaY, unsigned phase);
    double sum() const { return sum_; }

private:
    double sum_ = 0;
};

// The direction of a step: deltaY, negated for a device that inverts it.
inline double scrollDirection(double deltaY, bool invertedFromDevice) {
    return invertedFromDevice ? -deltaY : deltaY;
}

// The value a text field takes for one wheel step: its value plus (e > 0) or
// minus (e < 0) tag / 100, in single precision; nothing for e = 0.
std::optional<float> scrolledFieldValue(float value, int tag, double e);

struct PopUpItem {
    std::string title;
    bool enabled = true;  // separators are not
    long tag = 0;
};
// The item a pop-up moves to for one wheel step: downwards (e < 0) the first
// enabled item after `selected`, upwards (e > 0, from item 1 on) the first
// before it, skipping "New..." and "Delete"; nothing when there is none.
std::optional<int> scrolledPopUpIndex(const std::vector<PopUpItem>& items, int selected, double e);

// --- numeric fields ----------------------------------------------------------
enum class FieldCommand { MoveUp, MoveDown, PageUp, PageDown };
// The value after an arrow or page key in a field with a step of tag / 100;
// nothing without a tag.
std::optional<float> steppedFieldValue(int tag, float value, FieldCommand command);

// True when `partial` can begin a number text: a sign, digits, one decimal
// point ('.' or ','), digits and an exponent ("e", a sign, digits), in that
// order, or the beginning of "inf", "infinity" or "nan" after the sign (the
// empty text too).
bool isPartialNumberValid(const std::string& partial);
// What a typed field takes: its whole text read as a number the way settings
// text is (parse_number_text, a comma read as the decimal point), a value too
// small for a double as 0, an infinity or a value beyond [minValue, maxValue]
// as that end. nullopt for a text that is no number or not-a-number: the
// field keeps its value.
std::optional<double> typedFieldValue(const std::string& text, double minValue = -1.0e308, double maxValue = 1.0e308);

}  // namespace dvk
