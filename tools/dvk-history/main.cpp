// dvk-history: lists the settings history, adds records and answers which
// record is a file's default, with the functions of the history window.
//
//   dvk-history list
//   dvk-history add FILE [--source S] [--comment C] [--set KEY=VALUE]...
//   dvk-history default FILE
//   dvk-history is-default FILE [--set KEY=VALUE]...
//
// `add` and `is-default` open FILE as the window does (loaded, its default
// applied, its white balance worked out), then make the --set changes as the
// controls would: `add` records what the history window's Add would record
// then (comment "Action: Manual" unless --comment), `is-default` answers
// whether quitting then would leave the history as it is.
//
// The store is the program's own ($XDG_DATA_HOME/DVK/DVK2.db); `list`,
// `default` and `is-default` only read it, which changes nothing a later
// write needs. Exit codes: 0 done (for `default`: a default was found), 1 a
// negative answer, 2 wrong use, a file that is not a raw file or a setting
// that is refused, 3 a store that cannot be used (damaged, not a database,
// locked, one this user may not write, a full disk; SQLite's error on
// standard error).
#include <unistd.h>

#include <charconv>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/controller/controller.h"
#include "app/history/history_defaults.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_probe.h"
#include "pipeline/processor/settings_argument.h"
#include "platform/alert.h"
#include "platform/folders.h"
#include "tools/common/own_line.h"
#include "tools/common/setting_assignment.h"

namespace {

using dvk::Controller;
using dvk::HistoryMO;
using dvk::tools::tool_print;

constexpr int kWrongUse = 2;
constexpr int kStoreUnusable = 3;

int usage() {
    tool_print(stderr,
               "usage: dvk-history list\n"
               "       dvk-history add FILE [--source S] [--comment C] [--set KEY=VALUE]...\n"
               "       dvk-history default FILE\n"
               "       dvk-history is-default FILE [--set KEY=VALUE]...\n");
    return kWrongUse;
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
    tool_print(stdout, "%s\n", line.c_str());
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
            if (!next(&value) || !dvk::tools::add_setting_assignment("dvk-history", value.c_str(), a->sets))
                return false;
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

// An absolute path; a trailing "/" (a folder default) stays.
std::string absolute_path(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

// FILE made absolute, its camera known to the raw decoder; else reported
// with the reason ("No such file or directory", "Permission denied", "not a
// raw file of a known camera").
bool raw_file(const Arguments& a, std::string* file, std::string* camera) {
    *file = absolute_path(a.file);
    const dvk::RawIdentity id = dvk::identify_raw_file(*file);
    if (!id.is_raw()) {
        tool_print(stderr, "dvk-history: %s\n", dvk::load_error_text(*file, id.refusal()).c_str());
        return false;
    }
    *camera = id.camera.substr(0, 255);
    return true;
}

// FILE opened by the controller's open road, as the window opens it, then
// the --set changes made as the controls make them. False (reported) when
// FILE is no raw file, cannot be opened, or a setting is refused.
bool open_as_the_window_does(Controller& controller, const Arguments& a) {
    std::string file, camera;
    if (!raw_file(a, &file, &camera)) return false;
    // The history list as the window has it, so the open selects the default it applied.
    controller.reloadHistory();
    bool opened = false;
    if (!controller.startOpen(file, [&opened](bool ok) { opened = ok; })) return false;
    controller.waitForRoads();
    if (!opened) {
        tool_print(stderr, "dvk-history: %s: could not be opened\n", file.c_str());
        return false;
    }
    for (const auto& [key, value] : a.sets) {
        if (auto failure = dvk::apply_setting_value(*controller.rawProcessor(), key, value)) {
            tool_print(stderr, "dvk-history: --set %s=%s: %s\n", key.c_str(), value.c_str(), failure->c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    dvk::tools::track_engine_messages();
    std::setlocale(LC_NUMERIC, "C");
    if (argc < 2) return usage();
    // Alerts have nobody to show them to: what they say is printed here
    // instead, in the tool's words (the store's problems the tool says itself).
    dvk::setAlertsLogged(false);
    dvk::setAlertPresenter([](const dvk::AlertRequest& alert) {
        std::string said = alert.title.value_or("");
        if (!said.empty() && !alert.text.empty()) said += ": ";
        said += alert.text;
        if (!said.empty()) tool_print(stderr, "dvk-history: %s\n", said.c_str());
        return 1000;
    });
    // Raw files are first read by the probe, in a process of its own.
    dvk::use_raw_probe_beside_executable();

    const std::string command = argv[1];
    // The commands that only read open an existing store for reading.
    dvk::ControllerOptions options;
    options.tellStoreProblems = false;
    const std::string storeFile = dvk::applicationSupportFolder() + "/DVK2.db";
    options.store.readOnly = (command == "list" || command == "default" || command == "is-default") &&
                             ::access(storeFile.c_str(), F_OK) == 0;
    Controller controller(options);
    dvk::HistoryStore& store = controller.persistentStoreCoordinator();
    // The store's own error, or the error of the read or write that failed.
    const auto unusable = [&store](const std::string& error) {
        tool_print(stderr, "dvk-history: %s: %s\n", store.path().c_str(),
                   (store.isOpen() && !error.empty() ? error : store.openError()).c_str());
        return kStoreUnusable;
    };
    if (!store.isOpen()) return unusable("");

    if (command == "list") {
        if (argc != 2) return usage();
        std::string error;
        const std::vector<HistoryMO> records = store.fetchAll(&error);
        if (!error.empty()) return unusable(error);
        for (const HistoryMO& r : records) print_record(r);
        return 0;
    }
    Arguments a;
    if (command == "add") {
        if (!parse(argc, argv, 2, true, &a)) return usage();
        if (a.source && a.source->empty()) {
            tool_print(stderr,
                       "dvk-history: --source is empty: a record needs a source, a raw file, a folder ending in "
                       "\"/\" (its default) or \"/\" (the camera's default)\n");
            return kWrongUse;
        }
        if (!open_as_the_window_does(controller, a)) return kWrongUse;
        dvk::RawProcessor* r = controller.rawProcessor();
        const std::string source = a.source ? absolute_path(*a.source) : r->fileName();
        auto record = controller.addCurrentSettingsToHistoryWithSource(
            source, r->destinationFile(), a.comment.value_or("Action: Manual"), r);
        if (!record) {
            if (!store.isOpen() || !controller.lastHistoryError().empty())
                return unusable(controller.lastHistoryError());
            return 1;
        }
        print_record(*record);
        return 0;
    }
    if (command == "default") {
        if (!parse(argc, argv, 2, false, &a) || !a.sets.empty()) return usage();
        std::string file, camera;
        if (!raw_file(a, &file, &camera)) return kWrongUse;
        std::string error;
        auto d = dvk::findDirectoryDefault(store, camera, file, &error);
        if (!error.empty()) return unusable(error);
        if (!d) return 1;
        tool_print(stdout, "%s\n", d->sourceFile().c_str());
        return 0;
    }
    if (command == "is-default") {
        if (!parse(argc, argv, 2, false, &a)) return usage();
        if (!open_as_the_window_does(controller, a)) return kWrongUse;
        // The question areCurrentSettingsDefaultInHistory asks, with a read
        // that fails said as such.
        const dvk::RawProcessor& r = *controller.rawProcessor();
        std::string error;
        auto d = dvk::findDirectoryDefault(store, r.camera(), r.fileName(), &error);
        if (!error.empty()) return unusable(error);
        const bool yes = d && dvk::settingsEqualRecord(r, *d);
        tool_print(stdout, "%s\n", yes ? "yes" : "no");
        return yes ? 0 : 1;
    }
    return usage();
}
