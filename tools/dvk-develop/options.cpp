#include "tools/dvk-develop/options.h"

#include <cstdio>
#include <cstring>

namespace dvk::develop {

void print_usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s --info [--half] FILE...\n"
                 "  --info   load each raw file and print what the loader found\n"
                 "  --half   load at half size (the preview size)\n",
                 program);
}

int parse_options(int argc, char** argv, Options* opts) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--info") == 0) {
            opts->mode = Mode::Info;
        } else if (std::strcmp(a, "--half") == 0) {
            opts->half = true;
        } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            print_usage(argv[0]);
            return 0;
        } else if (std::strcmp(a, "--") == 0) {
            for (++i; i < argc; ++i) opts->files.emplace_back(argv[i]);
        } else if (a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "%s: unknown option %s\n", argv[0], a);
            print_usage(argv[0]);
            return 2;
        } else {
            opts->files.emplace_back(a);
        }
    }
    if (opts->mode == Mode::None || opts->files.empty()) {
        print_usage(argv[0]);
        return 2;
    }
    return -1;
}

}  // namespace dvk::develop
