// The update-feed address that the start-up check sends: the feed's address
// with the program's build and the camera of the last file opened or
// converted, kept in the user default "SUFeedURL".
#pragma once

#include <string>

namespace dvk {

class UserDefaults;

// The feed's base address (no server of its own is known to the program).
inline constexpr const char* kUpdateFeedBase = "https://updates.dvk.invalid/";

// RFC 4648 Base64 with padding, no line breaks.
std::string base64Encode(const std::string& bytes);
// kUpdateFeedBase + "dvk_updates_64.xml?Build=<build>;<Base64 of camera>".
std::string updateFeedAddress(const std::string& build, const std::string& camera);
// Writes the address for `camera` (with this program's build) into "SUFeedURL"
// and writes the defaults out.
void storeUpdateFeedAddress(UserDefaults& defaults, const std::string& camera);

}  // namespace dvk
