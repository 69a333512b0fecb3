#include "tests/support/test_paths.h"

#include <cstdlib>
#include <stdexcept>

namespace dvk::test {

std::filesystem::path testdata_dir() {
    if (const char* env = std::getenv("DVK_TESTDATA_DIR")) return env;
    std::error_code ec;
    if (std::filesystem::is_directory(DVK_TESTDATA_DIR, ec)) return DVK_TESTDATA_DIR;
    // A checkout nested deeper than the shared folder (a git worktree, say):
    // look for shared/testdata beside each folder above the source tree.
    for (std::filesystem::path dir = DVK_SOURCE_DIR; dir.has_relative_path(); dir = dir.parent_path()) {
        const auto candidate = dir.parent_path() / "shared" / "testdata";
        if (std::filesystem::is_directory(candidate, ec)) return candidate;
    }
    return DVK_TESTDATA_DIR;
}

std::filesystem::path chart_dng() { return testdata_dir() / "raw" / "colorchart.dng"; }

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "dvk-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

}  // namespace dvk::test
