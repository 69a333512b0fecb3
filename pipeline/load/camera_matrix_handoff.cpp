// Where the loader passes the camera matrix of a loaded file on to the colour
// module, which makes the camera matrix profile ("Built-in") from it.
#include "colour/camera_profile.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {

void hand_off_camera_matrix(DVKLib* d, const char* camera_name, const float matrix[4][3]) {
    create_camera_matrix_profile(d, camera_name, matrix);
}

}  // namespace dvk
