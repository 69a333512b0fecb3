// The KEY=VALUE argument of a tool's --set option.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace dvk::tools {

// Appends the key and value of `text` ("KEY=VALUE", KEY not empty) to
// `settings`; false, with a message naming `program` on standard error, when
// `text` is not of that form.
bool add_setting_assignment(const char* program, const char* text,
                            std::vector<std::pair<std::string, std::string>>& settings);

}  // namespace dvk::tools
