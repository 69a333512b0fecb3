#include "tools/dvk-profile/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/regular_file.h"
#include "tools/common/setting_assignment.h"

namespace dvk::profile_tool {

namespace {

void print_usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--reference F] --patches F [--wb-rect \"X Y W H\"] [--set K=V]...\n"
                 "          [--expose-patch N] [--enforce-white] [--enforce-black] [--ti3 P] [--evaluate]\n"
                 "          --out PROFILE RAW\n"
                 "  Makes a camera input profile from a shot of a colour target, as the profiling panel\n"
                 "  does: the preview is developed for measuring, every patch sampled, the measurements\n"
                 "  written as a TI3 file and handed to Argyll's colprof. Prints the panel's log.\n"
                 "  --reference F      reference file of the target (default: the built-in ColorChecker 24)\n"
                 "  --patches F        one \"x y w h\" rectangle of preview pixels per line, in reference order\n"
                 "  --wb-rect R        white balance from this rectangle (a neutral patch)\n"
                 "  --set K=V          any development setting by its key, before the panel opens\n"
                 "  --expose-patch N   set the exposure so that the brightest channel of rectangle N\n"
                 "                     (1-based) is 0.85 in the measuring preview\n"
                 "  --enforce-white, --enforce-black   add the synthetic white / black patch\n"
                 "  --ti3 P            also save the measurements as P\n"
                 "  --evaluate         print the CIEDE2000 of the patches (mean and largest) developed with\n"
                 "                     the file's default camera profile and with the new one:\n"
                 "                     dE2000 default \"NAME\" mean M max X\n"
                 "                     dE2000 profile \"PATH\" mean M max X\n"
                 "  --out PROFILE      where the profile goes (the answer to the save panel)\n"
                 "  Exit status 0 only when the profile was made.\n",
                 program);
}

bool parse_int(const char* text, int* out) {
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end != '\0' || v < 0 || v > 100000) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

bool parse_rect(const std::string& text, Rect* out) {
    std::istringstream in(text.substr(0, text.find('#')));
    in.imbue(std::locale::classic());
    double v[4];
    for (double& x : v)
        if (!(in >> x) || !std::isfinite(x)) return false;
    std::string rest;
    if (in >> rest) return false;
    if (v[2] <= 0 || v[3] <= 0) return false;
    *out = {v[0], v[1], v[2], v[3]};
    return true;
}

bool read_patch_file(const std::string& path, std::vector<Rect>* out, std::string* error) {
    // Only a regular file of a sane size, with the reason when it is not.
    const RegularFileRead file = read_regular_file(path, kReferenceFileMaxBytes);
    if (!file) {
        *error = "cannot read " + file.error;
        return false;
    }
    std::istringstream in(*file.bytes);
    out->clear();
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string content = line.substr(0, line.find('#'));
        if (content.find_first_not_of(" \t\r") == std::string::npos) continue;
        Rect r;
        if (!parse_rect(content, &r)) {
            *error = path + ":" + std::to_string(number) + ": not \"x y w h\": " + line;
            return false;
        }
        out->push_back(r);
    }
    if (out->empty()) {
        *error = path + ": no rectangles";
        return false;
    }
    return true;
}

int parse_options(int argc, char** argv, Options* opts) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s: %s needs a value\n", argv[0], a);
                return nullptr;
            }
            return argv[++i];
        };
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            print_usage(argv[0]);
            return 0;
        } else if (std::strcmp(a, "--enforce-white") == 0) {
            opts->enforceWhite = true;
        } else if (std::strcmp(a, "--enforce-black") == 0) {
            opts->enforceBlack = true;
        } else if (std::strcmp(a, "--evaluate") == 0) {
            opts->evaluate = true;
        } else if (std::strcmp(a, "--reference") == 0 || std::strcmp(a, "--patches") == 0 ||
                   std::strcmp(a, "--ti3") == 0 || std::strcmp(a, "--out") == 0) {
            const char* v = value();
            if (!v) return 2;
            if (a[2] == 'r') opts->reference = v;
            else if (a[2] == 'p') opts->patches = v;
            else if (a[2] == 't') opts->ti3 = v;
            else opts->out = v;
        } else if (std::strcmp(a, "--wb-rect") == 0) {
            const char* v = value();
            Rect r;
            if (!v || !parse_rect(v, &r)) {
                if (v) std::fprintf(stderr, "%s: --wb-rect takes \"X Y W H\", not \"%s\"\n", argv[0], v);
                return 2;
            }
            opts->wbRect = r;
        } else if (std::strcmp(a, "--expose-patch") == 0) {
            const char* v = value();
            if (!v || !parse_int(v, &opts->exposePatch) || opts->exposePatch < 1) {
                if (v) std::fprintf(stderr, "%s: --expose-patch takes a patch number from 1, not %s\n", argv[0], v);
                return 2;
            }
        } else if (std::strcmp(a, "--set") == 0) {
            const char* v = value();
            if (!v || !tools::add_setting_assignment(argv[0], v, opts->settings)) return 2;
        } else if (a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "%s: unknown option %s\n", argv[0], a);
            print_usage(argv[0]);
            return 2;
        } else if (opts->raw.empty()) {
            opts->raw = a;
        } else {
            std::fprintf(stderr, "%s: one raw file only (%s and %s)\n", argv[0], opts->raw.c_str(), a);
            return 2;
        }
    }
    if (opts->patches.empty() || opts->out.empty() || opts->raw.empty()) {
        std::fprintf(stderr, "%s: --patches, --out and a raw file are needed\n", argv[0]);
        print_usage(argv[0]);
        return 2;
    }
    return -1;
}

}  // namespace dvk::profile_tool
