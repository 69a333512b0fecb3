// Numbers to and from the texts of fields, independent of the C locale (the
// toolkit sets the user's locale, whose decimal comma must not leak into
// values, defaults or readouts).
#pragma once

#include <string>

namespace dvk {

// Fixed notation with `decimals` decimals; a leading '+' for positive values
// (and zero) when `plus`; "NaN" for not-a-number.
std::string formatFixed(double value, int decimals, bool plus = false);
// The longest leading number of `text` after blanks: an optional sign,
// digits, a decimal point (a comma too when `commaIsPoint`) and digits, an
// exponent. 0 when there is none.
double leadingNumber(const std::string& text, bool commaIsPoint = false);

}  // namespace dvk
