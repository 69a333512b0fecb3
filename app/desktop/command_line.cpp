#include "app/desktop/command_line.h"

#include "app/common/app_version.h"

namespace dvk {

namespace {

struct QtOption {
    const char* name;
    bool takesValue;
};

// The options QGuiApplication, QApplication and the X11 platform read from
// the arguments.
constexpr QtOption kQtOptions[] = {
    {"platform", true},   {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowtitle", true}, {"qwindowicon", true},   {"style", true},
    {"stylesheet", true}, {"session", true},            {"display", true},       {"geometry", true},
    {"title", true},      {"name", true},               {"visual", true},        {"ncols", true},
    {"cmap", true},       {"im", true},                 {"inputstyle", true},    {"qmljsdebugger", true},
    {"reverse", false},   {"widgetcount", false},       {"nograb", false},       {"dograb", false},
    {"sync", false},      {"testability", false},       {"noxim", false},
};

}  // namespace

bool isQtOption(const std::string& argument, bool* takesValue) {
    if (argument.size() < 2 || argument[0] != '-') return false;
    std::string name = argument.substr(argument[1] == '-' ? 2 : 1);
    const std::size_t equals = name.find('=');
    const bool valueAttached = equals != std::string::npos;
    if (valueAttached) name.erase(equals);
    for (const QtOption& o : kQtOptions)
        if (name == o.name) {
            if (valueAttached && !o.takesValue) return false;
            if (takesValue) *takesValue = o.takesValue && !valueAttached;
            return true;
        }
    return false;
}

CommandLineOptions scanCommandLineOptions(const std::vector<std::string>& arguments) {
    CommandLineOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--") break;
        if (a.size() < 2 || a[0] != '-') continue;  // a file ("-" alone too)
        bool takesValue = false;
        if (a == "--help" || a == "-h")
            options.help = true;
        else if (a == "--version")
            options.version = true;
        else if (isQtOption(a, &takesValue))
            i += takesValue ? 1 : 0;
        else
            options.unknown.push_back(a);
    }
    return options;
}

std::string usageText() {
    return "Usage: dvk [FILE-OR-FOLDER...]\n"
           "       dvk --help | --version\n"
           "\n"
           "DVK develops camera raw files in its window. Without arguments the window opens\n"
           "empty. One raw file opens in the window (a TIFF or JPEG is traced back to the raw\n"
           "file it was made from); several files, or folders, run as a batch that writes\n"
           "each raw file with its folder's default settings. While DVK runs, \"dvk FILE...\"\n"
           "hands the files to the running program. A name beginning with \"-\" is given\n"
           "after \"--\" (dvk -- -name.dng) or as ./-name.dng.\n"
           "\n"
           "Options:\n"
           "  -h, --help     print this text and exit\n"
           "  --version      print the version and exit\n"
           "  Qt's own options (-platform NAME, -style NAME, -display DISPLAY, ...) are Qt's.\n"
           "\n"
           "Environment:\n"
           "  DVK_NO_REDIRECT=1  keep DVK's messages on the terminal instead of its log\n"
           "  XDG_DATA_HOME      DVK's folder is $XDG_DATA_HOME/DVK (~/.local/share/DVK):\n"
           "                     the log DVK.log, the history DVK2.db, batch lists, presets,\n"
           "                     camera profiles\n"
           "  XDG_CONFIG_HOME    the preferences are $XDG_CONFIG_HOME/DVK/defaults.plist\n"
           "                     (~/.config/DVK/defaults.plist)\n"
           "  XDG_RUNTIME_DIR    where the lock of the running program lives (else\n"
           "                     $TMPDIR/dvk-runtime-UID, TMPDIR being /tmp when unset)\n"
           "\n"
           "Developer hooks for scripted checks (see the README): DVK_DEV_QUIT_IDLE,\n"
           "DVK_DEV_ALERTS, DVK_DEV_SCREENSHOT, DVK_DEV_SET, DVK_DEV_ACTIONS, DVK_DEV_EXIFTOOL.\n";
}

std::string versionText() {
    return std::string("DVK ") + dvkShortVersion() + " (" + dvkBuildVersion() + ")\n";
}

}  // namespace dvk
