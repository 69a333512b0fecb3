// dvk-develop: the command-line road through the engine.
#include <cstdio>
#include <string>
#include <vector>

#include "core/dvklib.h"
#include "pipeline/load/raw_probe.h"
#include "platform/usable_cpus.h"
#include "tools/common/own_line.h"
#include "tools/dvk-develop/develop.h"
#include "tools/dvk-develop/info.h"
#include "tools/dvk-develop/metadata.h"
#include "tools/dvk-develop/options.h"

int main(int argc, char** argv) {
    dvk::tools::track_engine_messages();
    dvk::develop::Options opts;
    const int status = dvk::develop::parse_options(argc, argv, &opts);
    if (status >= 0) return status;

    // As the application does at start-up: one band thread per processor it may use.
    dvk::band_thread_count = dvk::usable_cpu_count();
    // Raw files are first read by the probe, in a process of its own.
    dvk::use_raw_probe_beside_executable();

    int exit_status = 0;
    if (opts.mode == dvk::develop::Mode::Info) {
        dvk::DVKLib d;
        if (!dvk::dvklib_new(&d)) {
            std::fprintf(stderr, "%s: out of memory\n", argv[0]);
            return 1;
        }
        for (std::size_t i = 0; i < opts.files.size(); ++i) {
            if (i) std::fputc('\n', stdout);
            if (dvk::develop::load_and_describe(&d, opts.files[i].c_str(), opts.half, stdout) != 0) exit_status = 1;
        }
        dvk::dvklib_delete(&d);
        return exit_status;
    }
    if (opts.mode == dvk::develop::Mode::PrintSettings) return dvk::develop::print_settings(opts);
    // Each file on its own; a failure is reported and the others still run.
    std::vector<std::string> written;
    for (const std::string& file : opts.files) {
        int rc = 0;
        switch (opts.mode) {
            case dvk::develop::Mode::Preview: rc = dvk::develop::preview_file(opts, file); break;
            case dvk::develop::Mode::Exif: rc = dvk::develop::exif_file(file); break;
            case dvk::develop::Mode::Menus: rc = dvk::develop::menus_file(file); break;
            default: rc = dvk::develop::develop_file(opts, file, &written); break;
        }
        if (rc != 0) exit_status = rc == 2 ? 2 : 1;
    }
    return exit_status;
}
