// dvk-cgats FILE: reads a CGATS file with the library and writes it back to
// standard output with the library's writer. Like every reference and TI3
// file, FILE must be a regular file of at most 32 MiB; a file that is not, or
// that the library refuses, gives the reason on standard error and exit
// status 1.
#include <cstdio>
#include <string>

#include "profiling/cgats/cgats.h"
#include "profiling/reference_files.h"

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
    std::string error;
    if (c->add_other("") < 0) error = c->err();
    else if (dvk::read_reference_file(c.get(), argv[1], &error) == -2) error = "dvk-cgats: out of memory";
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
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
