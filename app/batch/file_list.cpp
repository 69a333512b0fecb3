#include "app/batch/file_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace dvk {

namespace fs = std::filesystem;

std::string pathFromFileURL(const std::string& text) {
    const std::string scheme = "file://";
    if (text.compare(0, scheme.size(), scheme) != 0) return text;
    std::string rest = text.substr(scheme.size());
    // "file://localhost/x" and "file:///x" both name /x.
    if (!rest.empty() && rest[0] != '/') {
        std::size_t slash = rest.find('/');
        rest = slash == std::string::npos ? std::string("/") : rest.substr(slash);
    }
    std::string out;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        if (rest[i] == '%' && i + 2 < rest.size() && hex(rest[i + 1]) >= 0 && hex(rest[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(rest[i + 1]) * 16 + hex(rest[i + 2])));
            i += 2;
        } else {
            out.push_back(rest[i]);
        }
    }
    return out;
}

std::vector<std::string> expandPaths(const std::vector<std::string>& paths, const std::function<void()>& added) {
    std::vector<std::string> files;
    auto add = [&](std::string path) {
        files.push_back(std::move(path));
        if (added) added();
    };
    for (const std::string& element : paths) {
        std::string path = pathFromFileURL(element);
        std::error_code ec;
        fs::file_status status = fs::status(path, ec);
        if (ec || !fs::exists(status)) continue;
        if (!fs::is_directory(status)) {
            add(path);
            continue;
        }
        std::string base = path;
        while (base.size() > 1 && base.back() == '/') base.pop_back();
        fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            const fs::directory_entry& entry = *it;
            std::error_code ignored;
            // Folders, and links to folders, are not files (and links are not entered).
            if (entry.is_directory(ignored)) continue;
            if (entry.path().filename() == ".DS_Store") continue;
            std::string relative = entry.path().lexically_relative(path).string();
            add(base == "/" ? "/" + relative : base + "/" + relative);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace dvk
