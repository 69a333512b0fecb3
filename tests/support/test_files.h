// Small files in tests: reading one whole, and making one.
#pragma once

#include <filesystem>
#include <string>

namespace dvk::test {

// The bytes of the file at `p` ("" when it cannot be read).
std::string read_file(const std::filesystem::path& p);

// Makes the file at `p` (and its folders) holding `content`; returns its path.
std::string touch(const std::filesystem::path& p, const std::string& content = "x");

}  // namespace dvk::test
