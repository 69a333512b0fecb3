// Where the loader passes the camera matrix of a loaded file on to the colour
// module.
#include "platform/log.h"
#include "pipeline/raw_loader.h"

namespace dvk {

void hand_off_camera_matrix(DVKLib* d, const char* camera_name, const float matrix[4][3]) {
    (void)d;
    log_line("Camera matrix of %s: %g %g %g / %g %g %g / %g %g %g", camera_name, matrix[0][0], matrix[0][1],
             matrix[0][2], matrix[1][0], matrix[1][1], matrix[1][2], matrix[2][0], matrix[2][1], matrix[2][2]);
}

}  // namespace dvk
