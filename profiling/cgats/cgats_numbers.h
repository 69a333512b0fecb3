// Number text of CGATS files, always in the C locale whatever the process
// locale is (a GUI sets it from the environment, and a decimal comma would
// make files unreadable elsewhere).
#pragma once

#include <cstddef>

namespace dvk {

// As atoi in the C locale, saturating at the int range instead of wrapping.
int cgats_parse_int(const char* text);
// As atof in the C locale.
double cgats_parse_real(const char* text);

// The writer's text of a finite real: the format is chosen from the value's
// magnitude (38.48 -> "38.480", 100 -> "100.00", 0.5 -> "0.50000",
// 0.005 -> "5.0000e-03", 12345 -> "1.2345e+04"). Returns the length written
// into out, which must hold 40 bytes; 0 when v is not finite.
std::size_t cgats_format_real(double v, char* out);
// "%d" of an int.
std::size_t cgats_format_int(int v, char* out);

}  // namespace dvk
