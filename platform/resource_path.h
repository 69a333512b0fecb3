// Where the program's resources are: the folder "resources" beside the
// running executable (a build tree: build/bin/resources), else the installed
// folder found from the executable's own folder (PREFIX/bin ->
// PREFIX/share/dvk/resources), so an installation moved to another prefix
// still finds its own.
#pragma once

#include <string>

namespace dvk {

// The resources folder, without a trailing '/' (worked out once per process).
std::string resource_path();
// resource_path() + "/" + name.
std::string resource_file(const char* name);

// The resources folder of an executable in `exe_folder`: the first of
// exe_folder + "/resources" and exe_folder + "/" + `installed_relative` that
// is a folder, as its canonical absolute path (the user reads it in
// messages); the first, as it is, when neither is.
std::string resource_path_for(const std::string& exe_folder, const std::string& installed_relative);

}  // namespace dvk
