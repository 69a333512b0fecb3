// Where tests find their data, and scratch folders that clean up after them.
#pragma once

#include <filesystem>
#include <string>

namespace dvk::test {

// ../shared/testdata of the source tree.
std::filesystem::path testdata_dir();
// The real Canon DNG of a colour chart in the test data.
std::filesystem::path chart_dng();
// A fresh empty folder under the system temporary directory, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace dvk::test
