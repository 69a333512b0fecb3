// Whether a profile of the user's can serve as the camera (input) profile of a
// develop: the develop converts the camera's RGB through it to CIELab, so it
// must be an ICC profile LittleCMS opens whole, of an input, display or colour
// space device, describing RGB data, from which that conversion can be built
// and gives numbers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace dvk {

// Why the ICC data cannot serve as a camera profile ("not an ICC profile",
// "an ICC profile cut short (1000 of 3000 bytes)", "a damaged ICC profile
// (its tags reach past its end)", "a profile of GRAY data, not of RGB data",
// "a device link profile, not an input, display or colour space profile",
// ...), or "" when it can.
std::string input_profile_problem(const void* data, std::size_t size);

// A camera profile file read whole: a regular file of at most
// kProfileFileMaxBytes, not empty, that can serve as above. The check runs
// once for each version of a file (device, inode, size, modification time),
// however often the file is named.
struct InputProfileFile {
    std::optional<std::string> bytes;  // the file, when it can serve
    std::string error;                 // "PATH: reason" otherwise
    int errnum = 0;                    // the system's error number of a failed read (ENOENT: no such file), or 0
    explicit operator bool() const { return bytes.has_value(); }
};
InputProfileFile read_input_profile_file(const std::string& path);

}  // namespace dvk
