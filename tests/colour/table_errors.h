// How far a 3D table lands from the transform it stands for, in the colour
// tests: the sorted errors of the table at given pixels.
#pragma once

#include <vector>

#include "colour/lut3d.h"

namespace dvk::test {

// The errors (Euclidean distances) of `lut` against `exact` at the pixels
// `px` (triples), sorted; pixels the table refuses take the exact transform,
// as the conversions do.
std::vector<double> sorted_table_errors(const Lut3D& lut, const Lut3D::Convert& exact, std::vector<float> px);

}  // namespace dvk::test
