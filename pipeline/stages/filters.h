// Colour and monochrome filters (film looks) by code and name, and the
// output-profile codes.
//
// Codes below 1000 other than 0 and 6 go through an RGB filter profile
// (bw_mode_rgb); 1000-1010 are Lab-to-Lab profiles named by the filter name;
// 2000 + i names entry i of the caller's extra Lab filter-profile list.
#pragma once

#include <string>
#include <vector>

namespace dvk {

// The filter code of `name` (0 when unknown); names of `extra` give 2000 + i.
int filter_code_for_name(const std::string& name, const std::vector<std::string>& extra);
// The name of `code`; "Color" for codes without a name.
std::string filter_name_for_code(int code, const std::vector<std::string>& extra);
bool filter_is_rgb(int code);
// The RGB filter profile of `code` for the output stage: a built-in name or a
// file path; null for codes without one.
const char* rgb_filter_profile(int code);
// The Lab filter profile for `code` with filter name `name`: "/tmp/" + the
// extra entry for 2000 and above, the name itself for 1000..1999, else "".
std::string lab_filter_profile(int code, const std::string& name, const std::vector<std::string>& extra);

inline constexpr int kOutputProfileCount = 9;
// The profile name of an output-profile code; "BetaRGB2.2" outside 1..8.
const char* output_profile_name_for_code(int code);
inline constexpr const char* kLinearProfileName = "BetaRGB1.0";

}  // namespace dvk
