#include "tests/support/test_files.h"

#include <fstream>
#include <iterator>

namespace dvk::test {

std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string touch(const std::filesystem::path& p, const std::string& content) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p) << content;
    return p.string();
}

}  // namespace dvk::test
