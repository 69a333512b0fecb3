// The program's storage folders on Linux.
#pragma once

#include <string>

namespace dvk {

// The user's Application Support folder: $XDG_DATA_HOME, else ~/.local/share;
// the temporary directory when neither HOME nor XDG_DATA_HOME is set.
std::string userApplicationSupportFolder();
// The program's own folder in it: userApplicationSupportFolder() + "/DVK".
std::string applicationSupportFolder();
// The temporary directory ($TMPDIR or /tmp), without a trailing slash.
std::string temporaryDirectory();

}  // namespace dvk
