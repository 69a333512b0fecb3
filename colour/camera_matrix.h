// The matrix/TRC input profile of a camera: from the decoder's XYZ-to-camera
// matrix to the ICC bytes of an input-class profile (version 2.2, RGB data,
// XYZ connection space, gamma 602/256 curves). Shared by the run-time camera
// profile and the build-time generator of the built-in camera profiles.
#pragma once

#include <string>

#include "colour/icc_writer.h"

namespace dvk {

// D65 white and the Bradford D65-to-D50 adaptation used by the camera profile.
extern const double kCameraD65White[3];
extern const double kBradfordD65ToD50[3][3];

// K: XYZ (D65) to camera, column-major (element (c, k) at c + 3k). Writes the
// camera RGB to XYZ (D50) matrix, column-major, to `r`. Returns nullptr on
// success, else the reason the matrix cannot be used (nothing written).
const char* camera_rgb_to_xyz_d50(const double k[9], double r[9]);

// The profile bytes; `copyright`, when not empty, adds a cprt tag (the run-time
// camera profile has none).
icc::Bytes camera_matrix_icc_bytes(const std::string& camera_name, const double r[9],
                                   const std::string& copyright = std::string());

}  // namespace dvk
