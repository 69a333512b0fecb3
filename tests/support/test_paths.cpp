#include "tests/support/test_paths.h"

#include <cstdlib>
#include <stdexcept>

namespace dvk::test {

std::filesystem::path testdata_dir() {
    if (const char* env = std::getenv("DVK_TESTDATA_DIR")) return env;
    return DVK_TESTDATA_DIR;
}

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
