// The program's name, its version (short form, as "0.1.0") and its build number.
#pragma once

namespace dvk {

// The one name the program goes by: the empty window's title, the
// application's name, the alerts' title.
inline constexpr const char* kProgramName = "DVK";

const char* dvkShortVersion();
const char* dvkBuildVersion();

}  // namespace dvk
