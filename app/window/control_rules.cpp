#include "app/window/control_rules.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>

#include "app/common/number_text.h"
#include "pipeline/settings/settings_value.h"

namespace dvk {

double sliderStep(int tag, double minValue, double maxValue) {
    if (tag != 0) return tag / 100.0;
    if (minValue == 0 && maxValue == 50) return 1.0;
    if (minValue == -10 && maxValue == 10) return 0.1;
    if (minValue == 0 && maxValue == 255) return 1.275;
    const double r = (maxValue - minValue) / 200.0;
    if (r <= 0.05) return 0.05;
    if (r <= 0.1) return 0.1;
    if (r < 0.5) return 0.5;
    return 1.0;
}

double sliderDragValue(double before, double tracked, double step) {
    if (std::abs(tracked - before) < 2 * step) return before;
    return before + std::round((tracked - before) / step) * step;
}

double sliderArrowValue(double value, double step, bool right) {
    const double onGrid = std::round(value / step) * step;
    return right ? onGrid + step : onGrid - step;
}

bool ScrollAccumulator::step(double deltaY, unsigned phase) {
    sum_ += std::abs(deltaY);
    const bool inGesture = phase != kNoPhase && (phase & (kPhaseBegan | kPhaseMayBegin)) == 0;
    if (sum_ < 2.0 && inGesture) return false;
    sum_ = 0;
    return true;
}

std::optional<float> scrolledFieldValue(float value, int tag, double e) {
    const float s = static_cast<float>(tag) / 100.0f;
    if (e > 0) return value + s;
    if (e < 0) return value - s;
    return std::nullopt;
}

std::optional<int> scrolledPopUpIndex(const std::vector<PopUpItem>& items, int selected, double e) {
    const auto usable = [&](int i) {
        const PopUpItem& it = items[static_cast<std::size_t>(i)];
        return it.enabled && it.title != "New..." && it.title != "Delete";
    };
    const int n = static_cast<int>(items.size());
    if (e < 0) {
        for (int i = selected + 1; i < n; ++i)
            if (i >= 0 && usable(i)) return i;
    } else if (e > 0 && selected >= 1) {
        for (int i = std::min(selected, n) - 1; i >= 0; --i)
            if (usable(i)) return i;
    }
    return std::nullopt;
}

std::optional<float> steppedFieldValue(int tag, float value, FieldCommand command) {
    if (tag == 0) return std::nullopt;
    const float s = static_cast<float>(tag) / 100.0f;
    switch (command) {
    case FieldCommand::MoveUp: return value + s;
    case FieldCommand::MoveDown: return value - s;
    case FieldCommand::PageUp: return value + 10 * s;
    case FieldCommand::PageDown: return value - 10 * s;
    }
    return std::nullopt;
}

bool isPartialNumberValid(const std::string& partial) {
    std::size_t i = 0;
    const std::size_t n = partial.size();
    const auto digits = [&] {
        while (i < n && std::isdigit(static_cast<unsigned char>(partial[i]))) ++i;
    };
    if (i < n && (partial[i] == '+' || partial[i] == '-')) ++i;
    // The beginning of a word for an infinity or not-a-number.
    if (i < n && std::isalpha(static_cast<unsigned char>(partial[i]))) {
        std::string word;
        for (std::size_t j = i; j < n; ++j) word += static_cast<char>(std::tolower(static_cast<unsigned char>(partial[j])));
        for (const char* w : {"infinity", "nan"})
            if (std::string_view(w).starts_with(word)) return true;
        return false;
    }
    const std::size_t start = i;
    digits();
    if (i < n && (partial[i] == '.' || partial[i] == ',')) ++i;
    digits();
    const bool mantissa = i > start && !(i == start + 1 && (partial[start] == '.' || partial[start] == ','));
    if (mantissa && i < n && (partial[i] == 'e' || partial[i] == 'E')) {
        ++i;
        if (i < n && (partial[i] == '+' || partial[i] == '-')) ++i;
        digits();
    }
    return i == n;
}

std::optional<double> typedFieldValue(const std::string& text, double minValue, double maxValue) {
    const std::optional<double> v = parse_number_text(text, true);
    if (!v || std::isnan(*v)) return std::nullopt;
    return std::clamp(*v, minValue, maxValue);
}

}  // namespace dvk
