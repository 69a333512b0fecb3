// dvk-history: lists the settings history, adds records and answers which
// record is a file's default, with the functions of the history window.
//
//   dvk-history list
//   dvk-history add FILE [--source S] [--comment C] [--set KEY=VALUE]...
//   dvk-history default FILE
//   dvk-history is-default FILE [--set KEY=VALUE]...
//
// The store is the program's own ($XDG_DATA_HOME/DVK/DVK2.db). Exit codes:
// 0 done (for `default`: a default was found), 1 a negative answer or a
// failed write, 2 wrong use or a file that is not a raw file.
#include <charconv>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/controller/controller.h"
#include "pipeline/load/load_raw_file.h"
#include "platform/alert.h"

namespace {

using dvk::Controller;
using dvk::HistoryMO;

int usage() {
    std::fprintf(stderr,
                 "usage: dvk-history list\n"
                 "       dvk-history add FILE [--source S] [--comment C] [--set KEY=VALUE]...\n"
                 "       dvk-history default FILE\n"
                 "       dvk-history is-default FILE [--set KEY=VALUE]...\n");
    return 2;
}

std::string escaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

// Numbers in their shortest exact form without an exponent (2, 2.35, 1000000000).
std::string text_of(const dvk::SettingsValue& value) {
    if (value.kind() != dvk::SettingsValue::Kind::Double) return escaped(value.description());
    char buf[512];
    auto result = std::to_chars(buf, buf + sizeof buf, value.double_value(), std::chars_format::fixed);
    if (result.ec != std::errc()) return value.description();
    return std::string(buf, result.ptr);
}

void print_record(const HistoryMO& r) {
    std::string line = "id=" + std::to_string(r.objectID());
    for (const auto& [key, value] : r.values()) {
        if (value.is_null()) continue;
        line += "\t" + key + "=" + text_of(value);
    }
    std::printf("%s\n", line.c_str());
}

struct Arguments {
    std::string file;
    std::optional<std::string> source;
    std::optional<std::string> comment;
    std::vector<std::pair<std::string, std::string>> sets;
};

bool parse(int argc, char** argv, int first, bool allowSourceAndComment, Arguments* a) {
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string value;
        if (arg == "--set") {
            if (!next(&value)) return false;
            std::size_t eq = value.find('=');
            if (eq == std::string::npos || eq == 0) return false;
            a->sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (allowSourceAndComment && arg == "--source") {
            if (!next(&value)) return false;
            a->source = value;
        } else if (allowSourceAndComment && arg == "--comment") {
            if (!next(&value)) return false;
            a->comment = value;
        } else if (arg.rfind("--", 0) == 0 || !a->file.empty()) {
            return false;
        } else {
            a->file = arg;
        }
    }
    return !a->file.empty();
}

std::string absolute_path(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

// The controller's processor made ready for FILE: its name, its camera and
// the given settings over the defaults. False (reported) when FILE is no raw
// file or a setting is refused.
bool prepare(Controller& controller, const Arguments& a, std::string* file) {
    *file = absolute_path(a.file);
    char camera[256] = "";
    if (dvk::identify_camera(file->c_str(), camera) != 0) {
        std::fprintf(stderr, "dvk-history: %s: not a raw file of a known camera\n", file->c_str());
        return false;
    }
    dvk::RawProcessor& r = *controller.rawProcessor();
    r.setFileName(*file);
    r.setCamera(camera);
    for (const auto& [key, value] : a.sets) {
        try {
            r.setValueForKey(key, dvk::SettingsValue(value));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "dvk-history: --set %s=%s: %s\n", key.c_str(), value.c_str(), e.what());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_NUMERIC, "C");
    if (argc < 2) return usage();
    // Alerts have nobody to show them to: they go to standard error.
    dvk::setAlertPresenter([](const dvk::AlertRequest&) { return 1000; });

    const std::string command = argv[1];
    Controller controller;
    dvk::HistoryStore& store = controller.persistentStoreCoordinator();
    if (!store.isOpen()) return 1;

    if (command == "list") {
        if (argc != 2) return usage();
        for (const HistoryMO& r : store.fetchAll()) print_record(r);
        return 0;
    }
    Arguments a;
    std::string file;
    if (command == "add") {
        if (!parse(argc, argv, 2, true, &a)) return usage();
        if (!prepare(controller, a, &file)) return 2;
        std::string source = a.source ? *a.source : file;
        auto record = controller.addCurrentSettingsToHistoryWithSource(source, std::string(), a.comment,
                                                                       controller.rawProcessor());
        if (!record) return 1;
        print_record(*record);
        return 0;
    }
    if (command == "default") {
        if (!parse(argc, argv, 2, false, &a) || !a.sets.empty()) return usage();
        if (!prepare(controller, a, &file)) return 2;
        auto d = controller.directoryDefault(nullptr);
        if (!d) return 1;
        std::printf("%s\n", d->sourceFile().c_str());
        return 0;
    }
    if (command == "is-default") {
        if (!parse(argc, argv, 2, false, &a)) return usage();
        if (!prepare(controller, a, &file)) return 2;
        bool yes = controller.areCurrentSettingsDefaultInHistory();
        std::printf("%s\n", yes ? "yes" : "no");
        return yes ? 0 : 1;
    }
    return usage();
}
