// Inside the colour module: the process-wide "Built-in" entry, which the
// camera matrix profile replaces on every load.
#pragma once

#include <memory>

namespace dvk {

class Profile;

// Stores `p` as the profile of the "Built-in" entry; the previous one lives on
// in whatever conversions still hold it.
void set_builtin_entry_profile(std::shared_ptr<const Profile> p);

}  // namespace dvk
