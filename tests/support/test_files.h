// Small files in tests: reading one whole, making one, damaging one.
#pragma once

#include <filesystem>
#include <string>

namespace dvk::test {

// The bytes of the file at `p` ("" when it cannot be read).
std::string read_file(const std::filesystem::path& p);

// Makes the file at `p` (and its folders) holding `content`; returns its path.
std::string touch(const std::filesystem::path& p, const std::string& content = "x");

// Overwrites `count` blocks of 4096 bytes from block `first` on with
// garbage (the same bytes every time), as a disk fault would: an SQLite
// store damaged so keeps its header and still opens.
void damage_blocks(const std::filesystem::path& p, int first, int count);

}  // namespace dvk::test
