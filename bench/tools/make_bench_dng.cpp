// dvk-bench-dng PATH [WIDTH HEIGHT]: writes a synthetic Bayer DNG (default
// 6016 x 4016, 24 megapixels) for the whole-process benchmarks.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/dng_writer.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s PATH [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    unsigned w = argc == 4 ? static_cast<unsigned>(std::atoi(argv[2])) : 6016;
    unsigned h = argc == 4 ? static_cast<unsigned>(std::atoi(argv[3])) : 4016;
    dvk::test::DngSpec s = dvk::test::make_dng_spec(dvk::test::DngLayout::Bayer, w, h);
    s.make = "Acme";
    s.model = "Bench 24";
    s.white_level = 16383;
    s.black_level = 512;
    dvk::test::fill_gradient(s, 7);
    std::string error;
    if (!dvk::test::write_dng(argv[1], s, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    std::printf("%s\n", argv[1]);
    return 0;
}
