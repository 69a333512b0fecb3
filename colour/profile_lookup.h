// Profile names to colour profiles.
//
// A profile name is a name of the built-in table ("BetaRGB2.2", "Lab",
// "Uplab", "Built-in", camera and film-look names) or, when it begins with
// '/', the path of an ICC file. Profiles are held by reference count: a
// conversion that holds one keeps it alive even when a later load or lookup
// replaces the cache entry it came from.
#pragma once

#include <memory>

namespace dvk {

class Profile;  // colour/profile.h
struct DVKLib;

// Resolves `name`; *out_index (may be null) receives the table index 0..219, or
// -1 for a file path. Returns null when no profile results.
std::shared_ptr<const Profile> getDVKProfileRef(const char* name, int* out_index);
// As above, but "Built-in" resolves to the camera matrix profile of `d` (the
// record doing the conversion) when it has one.
std::shared_ptr<const Profile> getDVKProfileRef(const DVKLib* d, const char* name, int* out_index);

// Whether `name` is a name of the built-in table (any other name than a
// path resolves to the stand-in "Default Profile").
bool isBuiltinProfileName(const char* name);

// The extra chroma saturation of a table entry (0 when none); 0xFFFFFFFF, the
// index of a file path, gives 0 silently.
float get_profile_saturation(unsigned index);

}  // namespace dvk
