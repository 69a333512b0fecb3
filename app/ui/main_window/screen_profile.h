// The colour profile of the screen: the X11 root window's "_ICC_PROFILE"
// property (set by colour managers), or nothing (sRGB) elsewhere.
#pragma once

#include <cstdint>
#include <vector>

namespace dvk {

std::vector<std::uint8_t> screenIccProfile();

}  // namespace dvk
