#include "colour/camera_profile.h"

#include <string>

#include "colour/camera_matrix.h"
#include "colour/profile.h"
#include "colour/profile_cache.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "platform/log.h"

namespace dvk {

std::shared_ptr<const Profile> create_matrix_icc_profile(const char* camera_name, const double matrix[9]) {
    const char* name = camera_name ? camera_name : "";
    double r[9];
    if (const char* why = camera_rgb_to_xyz_d50(matrix, r)) {
        log_line("No camera profile for %s: %s", name, why);
        return nullptr;
    }
    icc::Bytes bytes = camera_matrix_icc_bytes(name, r);
    std::string error;
    std::shared_ptr<const Profile> p = Profile::from_bytes(bytes.data(), bytes.size(), &error);
    if (!p) {
        log_line("Error while creating profile %s:%s", name, error.c_str());
        return nullptr;
    }
    int index = -1;
    (void)getDVKProfileRef("Built-in", &index);
    if (index < 0) return nullptr;
    set_builtin_entry_profile(p);
    return p;
}

void create_camera_matrix_profile(DVKLib* d, const char* camera_name, const float cam_matrix[4][3]) {
    double k[9];
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 3; ++j) k[c + 3 * j] = double(cam_matrix[c][j]);
    std::shared_ptr<const Profile> p = create_matrix_icc_profile(camera_name, k);
    if (p && d) d->camera_profile = std::move(p);
}

}  // namespace dvk
