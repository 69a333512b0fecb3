// The tables between a Lab table profile and CIELab, built ahead of the
// conversions that share them.
#include <exception>
#include <string>

#include "colour/colour_convert.h"
#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"

namespace dvk {

void prepare_lab_side_tables(const std::shared_ptr<const Profile>& lab_table) noexcept {
    try {
        const std::shared_ptr<const Profile> lab = getDVKProfileRef("Lab", nullptr);
        if (!lab || !lab_table || lab_table == lab || lab_table->colour_space() != cmsSigLabData) return;
        // The same keys as the conversions': into the profile (the Lab side
        // of RGB to it) first, as a develop needs it first; then out of it
        // (the Lab side of it to RGB, and its own conversion to CIELab).
        std::string error;
        if (auto into = get_colour_transform(lab, INTENT_PERCEPTUAL, lab_table, INTENT_PERCEPTUAL, PixelKind::Lab,
                                             PixelKind::Lab, &error))
            into->prepare_ahead();
        if (auto out_of = get_colour_transform(lab_table, INTENT_PERCEPTUAL, lab, INTENT_PERCEPTUAL, PixelKind::Lab,
                                               PixelKind::Lab, &error))
            out_of->prepare_ahead();
    } catch (...) {
        // Out of memory or threads: the conversions build what is missing.
    }
}

void prepare_lab_tables(const char* lab_profile) noexcept {
    try {
        prepare_lab_side_tables(getDVKProfileRef(lab_profile ? lab_profile : "Uplab", nullptr));
    } catch (...) {
    }
}

}  // namespace dvk
