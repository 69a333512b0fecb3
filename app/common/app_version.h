// The program's version (short form, as "0.1.0") and its build number.
#pragma once

namespace dvk {

const char* dvkShortVersion();
const char* dvkBuildVersion();

}  // namespace dvk
