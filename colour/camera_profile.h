// Camera profiles: the matrix profile made from the decoder's colour matrix
// of each loaded file, and the choice of a built-in camera profile.
#pragma once

#include <memory>

namespace dvk {

struct DVKLib;
class Profile;

// Builds the matrix/TRC input profile of `camera_name` from the first three
// rows of `cam_matrix` (XYZ to camera), keeps it with `d` and installs it as
// the process-wide "Built-in" entry. Makes nothing (and logs why) for a
// singular or non-finite matrix.
void create_camera_matrix_profile(DVKLib* d, const char* camera_name, const float cam_matrix[4][3]);

// The profile of `camera_name` from the 3 x 3 XYZ-to-camera matrix `matrix`,
// column-major (element (c, k) at c + 3k), installed as the process-wide
// "Built-in" entry; null (logged) when the matrix is unusable.
std::shared_ptr<const Profile> create_matrix_icc_profile(const char* camera_name, const double matrix[9]);

// The built-in profile name for the camera of `d` (make, model, ISO); a
// built-in name the user chose (d->custom_profile_name) comes first.
const char* camera_builtin_profile_name(const DVKLib* d);
// The camera's own choice: as above, but the user's choice is not asked. It
// only reads the record, so it is safe beside a worker that uses it.
const char* camera_own_profile_name(const DVKLib* d);

}  // namespace dvk
