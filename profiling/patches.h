// One reference patch of a colour target and one measured patch, as the
// profiling workflow keeps them and the measurement files carry them.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace dvk {

// The longest patch id kept, in bytes.
inline constexpr std::size_t kPatchIdMaxBytes = 99;

// Ids of the synthetic patches the program adds to a measurement file; they
// are skipped (ignoring case) whenever a reference or measurement file is read.
inline constexpr const char* kEnforcedWhiteId = "DVKWHT";
inline constexpr const char* kEnforcedBlackId = "DVKBLK";

// A reference patch: its SAMPLE_ID and its colour as XYZ scaled to 100 (white Y = 100).
struct CIEPatch {
    std::string id;
    std::array<double, 3> XYZ{};
};

// A measured patch: the id of its reference patch, the mean camera RGB and the
// standard deviation of each channel, both scaled to 100.
struct TI3Patch {
    std::string id;
    std::array<double, 3> RGB{};
    std::array<double, 3> RGBStdDev{};
};

// `text` cut to at most kPatchIdMaxBytes bytes, never inside a UTF-8 sequence.
std::string cut_patch_id(std::string_view text);
// Ids compare without regard to (ASCII) case.
bool patch_ids_equal(std::string_view a, std::string_view b);
// True for "DVKWHT" and "DVKBLK" in any case.
bool is_enforced_patch_id(std::string_view id);

// Empty ids, or an id equal to an earlier one ignoring case, would make the
// order check of a measurement file meaningless. False with the reason
// ("patch 3 has an empty id", "the id \"A01\" is used twice") when one occurs.
template <class Patch>
bool patch_ids_usable(const std::vector<Patch>& patches, std::string* problem) {
    for (std::size_t i = 0; i < patches.size(); ++i) {
        if (patches[i].id.empty()) {
            *problem = "patch " + std::to_string(i + 1) + " has an empty id";
            return false;
        }
        for (std::size_t j = 0; j < i; ++j)
            if (patch_ids_equal(patches[i].id, patches[j].id)) {
                *problem = "the id \"" + patches[i].id + "\" is used twice";
                return false;
            }
    }
    return true;
}

}  // namespace dvk
