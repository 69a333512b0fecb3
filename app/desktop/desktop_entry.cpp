#include "app/desktop/desktop_entry.h"

#include <fstream>

#include "platform/url_opener.h"

namespace dvk {

namespace {

std::nullopt_t none(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return std::nullopt;
}

std::string trim(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    const std::size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// The escapes of a string value: \s \n \t \r \\ (others stay as they are,
// for the Exec quoting rules to read).
std::string unescapeValue(const std::string& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        switch (v[++i]) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default: out += '\\'; out += v[i];
        }
    }
    return out;
}

struct ExecToken {
    std::string text;
    bool quoted = false;
};

// Splits an Exec value into arguments: blanks separate them, double quotes
// enclose one, in which a backslash takes the next of " ` $ \ literally.
std::optional<std::vector<ExecToken>> splitExec(const std::string& exec, std::string* error) {
    std::vector<ExecToken> tokens;
    std::size_t i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ' || exec[i] == '\t') {
            ++i;
            continue;
        }
        ExecToken t;
        if (exec[i] == '"') {
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < exec.size()) {
                const char c = exec[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < exec.size()) {
                    t.text += exec[i++];
                    continue;
                }
                t.text += c;
            }
            if (!closed) return none(error, "an unclosed quote in its Exec line");
            if (i < exec.size() && exec[i] != ' ' && exec[i] != '\t')
                return none(error, "a quoted argument run into the next in its Exec line");
        } else {
            while (i < exec.size() && exec[i] != ' ' && exec[i] != '\t') {
                if (exec[i] == '"') return none(error, "a quote inside an argument of its Exec line");
                t.text += exec[i++];
            }
        }
        tokens.push_back(std::move(t));
    }
    if (tokens.empty()) return none(error, "an empty Exec line");
    return tokens;
}

// How many of %f %u %F %U the line holds (at most one is allowed), and
// whether that one takes a single file.
int fileCodes(const std::vector<ExecToken>& tokens, bool* single) {
    int n = 0;
    for (const ExecToken& t : tokens) {
        if (t.quoted) continue;
        for (std::size_t i = 0; i + 1 < t.text.size(); ++i) {
            if (t.text[i] != '%') continue;
            const char c = t.text[++i];
            if (c == 'F' || c == 'U' || c == 'f' || c == 'u') {
                ++n;
                *single = c == 'f' || c == 'u';
            }
        }
    }
    return n;
}

// One argument vector with `files` (all for %F / %U, the one for %f / %u).
std::optional<std::vector<std::string>> expand(const std::vector<ExecToken>& tokens, const DesktopEntry& entry,
                                               const std::vector<std::string>& files, std::string* error) {
    std::vector<std::string> args;
    for (const ExecToken& t : tokens) {
        if (t.quoted) {
            args.push_back(t.text);
            continue;
        }
        if (t.text == "%F" || t.text == "%U") {
            for (const std::string& f : files) args.push_back(t.text == "%F" ? f : fileUrlForPath(f));
            continue;
        }
        if (t.text == "%i") {
            if (!entry.icon.empty()) {
                args.push_back("--icon");
                args.push_back(entry.icon);
            }
            continue;
        }
        std::string out;
        bool onlyCodes = true, hadCode = false;
        for (std::size_t i = 0; i < t.text.size(); ++i) {
            if (t.text[i] != '%') {
                out += t.text[i];
                onlyCodes = false;
                continue;
            }
            if (i + 1 == t.text.size()) return none(error, "a lone % in its Exec line");
            hadCode = true;
            switch (const char c = t.text[++i]) {
                case '%': out += '%'; onlyCodes = false; break;
                case 'f': if (!files.empty()) out += files.front(); break;
                case 'u': if (!files.empty()) out += fileUrlForPath(files.front()); break;
                case 'c': out += entry.name; break;
                case 'k': out += entry.path; break;
                case 'd': case 'D': case 'n': case 'N': case 'v': case 'm': break;  // deprecated: dropped
                default:
                    return none(error, std::string("the field code %") + c + " (unknown or not alone) in its Exec line");
            }
        }
        // An argument made only of codes that gave nothing is dropped.
        if (hadCode && onlyCodes && out.empty()) continue;
        args.push_back(out);
    }
    if (args.empty() || args.front().empty()) return none(error, "no program in its Exec line");
    return args;
}

}  // namespace

bool isDesktopEntryPath(const std::string& path) {
    static const std::string ext = ".desktop";
    return path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0;
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path, std::string* error) {
    std::ifstream in(path);
    if (!in) return none(error, "it cannot be read");
    DesktopEntry entry;
    entry.path = path;
    bool inGroup = false, sawGroup = false, haveExec = false;
    std::string type;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = trim(line.substr(0, eq)), value = unescapeValue(trim(line.substr(eq + 1)));
        if (key == "Exec") entry.exec = value, haveExec = true;
        else if (key == "Name") entry.name = value;
        else if (key == "Icon") entry.icon = value;
        else if (key == "Type") type = value;
    }
    if (!sawGroup) return none(error, "it has no [Desktop Entry] group");
    if (!type.empty() && type != "Application") return none(error, "it is no application entry");
    if (!haveExec || entry.exec.empty()) return none(error, "it has no Exec line");
    return entry;
}

std::optional<std::vector<std::vector<std::string>>> desktopEntryCommands(const DesktopEntry& entry,
                                                                          const std::vector<std::string>& files,
                                                                          std::string* error) {
    auto tokens = splitExec(entry.exec, error);
    if (!tokens) return std::nullopt;
    if (!tokens->front().quoted && tokens->front().text.find('%') != std::string::npos)
        return none(error, "no program in its Exec line");
    std::vector<std::vector<std::string>> commands;
    bool single = false;
    const int codes = fileCodes(*tokens, &single);
    if (codes > 1) return none(error, "more than one file field code in its Exec line");
    if (codes == 1 && single && files.size() > 1) {
        for (const std::string& f : files) {
            auto args = expand(*tokens, entry, {f}, error);
            if (!args) return std::nullopt;
            commands.push_back(std::move(*args));
        }
        return commands;
    }
    auto args = expand(*tokens, entry, files, error);
    if (!args) return std::nullopt;
    commands.push_back(std::move(*args));
    return commands;
}

}  // namespace dvk
