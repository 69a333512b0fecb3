// The custom camera profile as every road takes it from settings (a folder
// default, a history record, a settings file, the command line, the Profiles
// menu): one resolution of the name and one rule for what can serve.
#pragma once

#include <optional>
#include <string>

namespace dvk {

class RawProcessor;

// The value RawProcessor::setCustomRawProfile takes for a profile named in
// settings: "" for none ("" or "Default"); a name ending in "icc" or "icm"
// (any case) that is no absolute path is the file of that name in
// `profileFolder` (links followed); any other name as it is.
std::string custom_profile_value(const std::string& name, const std::string& profileFolder);

// "cannot read the camera profile PATH: REASON" when the processor's custom
// profile names a file that cannot be taken (customRawProfileError), else
// nullopt.
std::optional<std::string> custom_profile_problem(const RawProcessor& processor);

// Why the processor's custom profile cannot serve, in a few words, for a
// message that names the profile itself: the reason of customRawProfileError
// without the path ("No such file or directory", "not an ICC profile"), or
// "no built-in profile has that name"; "" when it can serve.
std::string custom_profile_reason(const RawProcessor& processor);

// The custom profile in force as a develop takes it: the processor's value
// resolved as custom_profile_value does (set again only when that changes
// it); then a path must name a profile file that can serve and any other
// name must be one of the built-in profiles. nullopt when it is so (or there
// is none), else why not ("cannot read the camera profile PATH: REASON",
// "unknown camera profile \"NAME\""); the caller then develops with the
// camera's own profile or refuses.
std::optional<std::string> settle_custom_profile(RawProcessor& processor, const std::string& profileFolder);

}  // namespace dvk
