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

void damage_blocks(const std::filesystem::path& p, int first, int count) {
    std::fstream f(p, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(first) * 4096);
    unsigned state = 12345;
    for (int i = 0; i < count * 4096; ++i) {
        state = state * 1103515245u + 12345u;
        f.put(static_cast<char>(state >> 16));
    }
}

}  // namespace dvk::test
