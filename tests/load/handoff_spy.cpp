// Stands in for the camera matrix hand-off so that the tests see which matrix
// the loader passes on (the real one lives in its own file of the pipeline
// library and is left out of this binary by the linker).
#include "tests/load/handoff_spy.h"

#include "pipeline/load/raw_loader.h"

namespace dvk {

namespace test {
HandOff last_hand_off;
}

void hand_off_camera_matrix(DVKLib* d, const char* camera_name, const float matrix[4][3]) {
    test::last_hand_off.calls++;
    test::last_hand_off.record = d;
    test::last_hand_off.camera = camera_name;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) test::last_hand_off.matrix[r][c] = matrix[r][c];
}

}  // namespace dvk
