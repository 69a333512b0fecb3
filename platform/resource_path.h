// Where the program's resources are: the folder "resources" beside the
// running executable.
#pragma once

#include <string>

namespace dvk {

// The resources folder, without a trailing '/'.
std::string resource_path();
// resource_path() + "/" + name.
std::string resource_file(const char* name);

}  // namespace dvk
