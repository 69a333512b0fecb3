#include "tools/dvk-develop/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/common/setting_assignment.h"

namespace dvk::develop {

void print_usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--format N] [--interpolation N] [--filter NAME] [--profile NAME-or-PATH]\n"
                 "          [--settings FILE]... [--set KEY=VALUE]... [--out PATH] FILE...\n"
                 "       %s --info [--half] FILE...\n"
                 "       %s --preview [--settings FILE]... [--set KEY=VALUE]... FILE...\n"
                 "       %s --print-settings FILE [--settings FILE]... [--set KEY=VALUE]...\n"
                 "       %s --exif FILE...\n"
                 "       %s --menus FILE...\n"
                 "  Develops each raw file and saves it; prints each written path.\n"
                 "  --format N         save format 0-23 (default 2, 16-bit CIELab TIFF; 0 16-bit RGB TIFF,\n"
                 "                     1 8-bit RGB TIFF, 3/4 JPEG 85/95, 5 float TIFF, 17 raw TIFF, ...)\n"
                 "  --interpolation N  0 AHD, 1 VNG, 2 half size (default), 3 VCD, 4 LMMSE, 5 two-thirds\n"
                 "  --filter NAME      colour filter or film look by name (\"Color\", \"V50\", \"KL25 B&W\", ...)\n"
                 "  --profile P        custom input profile: a built-in profile name or an ICC file path\n"
                 "  --settings FILE    apply a settings file (\".dvks\" text or property list) first\n"
                 "  --set KEY=VALUE    any development setting by its key (exposure, useCameraWB,\n"
                 "                     curveType, gamma, raw, rotation, sharpness, localContrast, ...)\n"
                 "  --print-settings FILE  print the export settings text once FILE is applied\n"
                 "  --out PATH         output file, or a folder when PATH ends in \"/\" (relative paths\n"
                 "                     are taken from the raw file's folder); default beside the raw file\n"
                 "  --info             load each raw file and print what the loader found\n"
                 "  --half             with --info: load at half size (the preview size)\n"
                 "  --preview          half-size load and the preview sequence, nothing written\n"
                 "  --copy-tags        after each save, copy the raw file's metadata (and its .xmp\n"
                 "                     sidecar) into the written file with exiftool; exit 1 when a copy fails\n"
                 "  --exif             print exiftool's info text of each raw file\n"
                 "  --menus            open each raw file as the application does and print every item of\n"
                 "                     its profiles menu and of its filters and white-balance pop-ups,\n"
                 "                     tab-separated: profiles POSITION TITLE; filters TAG TITLE;\n"
                 "                     wb TAG TITLE, and for a preset its EVs (red green blue green2)\n"
                 "  DVK_DEV_EXIFTOOL   the program run in place of /usr/bin/exiftool\n",
                 program, program, program, program, program, program);
}

namespace {

bool parse_int(const char* text, int* out) {
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end != '\0' || v < -1000000 || v > 1000000) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

int parse_options(int argc, char** argv, Options* opts) {
    bool develop_option = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s: %s needs a value\n", argv[0], name);
                return nullptr;
            }
            return argv[++i];
        };
        if (std::strcmp(a, "--info") == 0) {
            opts->mode = Mode::Info;
        } else if (std::strcmp(a, "--preview") == 0) {
            opts->mode = Mode::Preview;
        } else if (std::strcmp(a, "--exif") == 0) {
            opts->mode = Mode::Exif;
        } else if (std::strcmp(a, "--menus") == 0) {
            opts->mode = Mode::Menus;
        } else if (std::strcmp(a, "--copy-tags") == 0) {
            opts->copyTags = true;
        } else if (std::strcmp(a, "--half") == 0) {
            opts->half = true;
        } else if (std::strcmp(a, "--format") == 0 || std::strcmp(a, "--interpolation") == 0) {
            const char* v = value(a);
            int n = 0;
            if (!v || !parse_int(v, &n)) {
                if (v) std::fprintf(stderr, "%s: %s takes a number, not %s\n", argv[0], a, v);
                return 2;
            }
            (a[2] == 'f' ? opts->format : opts->interpolation) = n;
            develop_option = true;
        } else if (std::strcmp(a, "--filter") == 0 || std::strcmp(a, "--profile") == 0 ||
                   std::strcmp(a, "--out") == 0) {
            const char* v = value(a);
            if (!v) return 2;
            if (a[2] == 'f') opts->filter = v;
            else if (a[2] == 'p') opts->profile = v;
            else opts->out = v;
            develop_option = true;
        } else if (std::strcmp(a, "--settings") == 0) {
            const char* v = value(a);
            if (!v) return 2;
            opts->settingsFiles.emplace_back(v);
        } else if (std::strcmp(a, "--print-settings") == 0) {
            const char* v = value(a);
            if (!v) return 2;
            opts->mode = Mode::PrintSettings;
            opts->printSettings = v;
        } else if (std::strcmp(a, "--set") == 0) {
            const char* v = value(a);
            if (!v || !tools::add_setting_assignment(argv[0], v, opts->settings)) return 2;
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
    if (opts->mode == Mode::None) opts->mode = Mode::Develop;
    if (opts->mode == Mode::Info && (develop_option || !opts->settings.empty() || !opts->settingsFiles.empty())) {
        std::fprintf(stderr, "%s: --info takes no development options\n", argv[0]);
        return 2;
    }
    if ((opts->mode == Mode::Exif || opts->mode == Mode::Menus) &&
        (develop_option || opts->half || !opts->settings.empty() || !opts->settingsFiles.empty())) {
        std::fprintf(stderr, "%s: --%s takes no other options\n", argv[0], opts->mode == Mode::Exif ? "exif" : "menus");
        return 2;
    }
    if (opts->copyTags && opts->mode != Mode::Develop) {
        std::fprintf(stderr, "%s: --copy-tags goes with developing and saving only\n", argv[0]);
        return 2;
    }
    if (opts->mode == Mode::PrintSettings && !opts->files.empty()) {
        std::fprintf(stderr, "%s: --print-settings takes no raw files\n", argv[0]);
        return 2;
    }
    if (opts->files.empty() && opts->mode != Mode::PrintSettings) {
        print_usage(argv[0]);
        return 2;
    }
    return -1;
}

}  // namespace dvk::develop
