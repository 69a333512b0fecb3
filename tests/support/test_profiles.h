// ICC profiles in tests: one that can serve as a camera profile, and files
// passed off as camera profiles that cannot.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace dvk::test {

// Writes an RGB display profile that can serve as a camera profile (the
// built-in "AdobeRGB2.2") at `path`, folders made; returns the path.
std::string write_rgb_profile(const std::filesystem::path& path);

struct ProfileCase {
    std::string what;      // for the trace
    std::string path;      // the file written
    std::string reason;    // what is said of it; "" for the one that can serve
};

// Writes into `folder` what a user or a damaged disk passes off as a camera
// profile: text, a password file, an ICC profile cut short, one without its
// primaries, a grey profile, an RGB device link; and, as the control, an RGB
// profile that can serve (the last case).
std::vector<ProfileCase> write_profile_cases(const std::filesystem::path& folder);

}  // namespace dvk::test
