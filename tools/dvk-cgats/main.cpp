// dvk-cgats FILE: reads a CGATS file with the library and writes it back to
// standard output with the library's writer. A file the library refuses gives
// its message on standard error and exit status 1.
#include <cstdio>

#include "profiling/cgats/cgats.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dvk-cgats FILE\n");
        return 2;
    }
    dvk::cgats_ptr c(dvk::new_cgats());
    if (!c) {
        std::fprintf(stderr, "dvk-cgats: out of memory\n");
        return 1;
    }
    // Any identifier is accepted for the first table.
    if (c->add_other("") < 0 || c->read_name(argv[1]) != 0) {
        std::fprintf(stderr, "%s\n", c->err());
        return 1;
    }
    dvk::cgats_file* out = dvk::new_file_fp(stdout);
    if (!out) {
        std::fprintf(stderr, "dvk-cgats: out of memory\n");
        return 1;
    }
    const int rv = c->write(out);
    out->del();
    if (rv != 0) {
        std::fprintf(stderr, "%s\n", c->err());
        return 1;
    }
    return 0;
}
