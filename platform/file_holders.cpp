#include "platform/file_holders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace dvk {

namespace {

// A PID's folder name: digits only.
bool is_pid(const char* name) {
    if (!*name) return false;
    for (const char* c = name; *c; ++c)
        if (*c < '0' || *c > '9') return false;
    return true;
}

// Whether one of the descriptors in `fdFolder` is the file (device, inode).
bool has_open(const std::string& fdFolder, dev_t device, ino_t inode) {
    DIR* dir = opendir(fdFolder.c_str());
    if (!dir) return false;
    bool found = false;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        struct stat st {};
        // stat follows the descriptor's link to the open file itself.
        if (::stat((fdFolder + "/" + e->d_name).c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

// Whether a line of the maps file maps the file: "start-end perms offset
// major:minor inode path", the device in hexadecimal.
bool has_mapped(const std::string& mapsFile, dev_t device, ino_t inode) {
    std::ifstream in(mapsFile);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string range, perms, offset, dev;
        unsigned long long node = 0;
        if (!(fields >> range >> perms >> offset >> dev >> node) || node == 0) continue;
        unsigned major = 0, minor = 0;
        if (std::sscanf(dev.c_str(), "%x:%x", &major, &minor) != 2) continue;
        if (node == inode && makedev(major, minor) == device) return true;
    }
    return false;
}

// The file holds the name and a line end; the name itself may hold any
// character but NUL (the process sets it), line ends too.
std::string command_name(const std::string& commFile) {
    std::ifstream in(commFile, std::ios::binary);
    char buffer[64] = {};
    in.read(buffer, sizeof buffer);
    std::string name(buffer, static_cast<std::size_t>(in.gcount()));
    if (!name.empty() && name.back() == '\n') name.pop_back();
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return name;
}

}  // namespace

std::vector<FileHolder> processesHoldingFile(const std::string& path, const std::string& procRoot) {
    std::vector<FileHolder> holders;
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) return holders;
    DIR* proc = opendir(procRoot.c_str());
    if (!proc) return holders;
    while (const dirent* e = readdir(proc)) {
        if (!is_pid(e->d_name)) continue;
        const std::string folder = procRoot + "/" + e->d_name;
        if (!has_open(folder + "/fd", target.st_dev, target.st_ino) &&
            !has_mapped(folder + "/maps", target.st_dev, target.st_ino))
            continue;
        holders.push_back({std::atoi(e->d_name), command_name(folder + "/comm")});
    }
    closedir(proc);
    std::sort(holders.begin(), holders.end(), [](const FileHolder& a, const FileHolder& b) { return a.pid < b.pid; });
    return holders;
}

std::string describeFileHolders(const std::vector<FileHolder>& holders) {
    std::string text;
    for (const FileHolder& h : holders) {
        if (!text.empty()) text += ", ";
        text += std::to_string(h.pid) + " " + h.command;
    }
    return text;
}

}  // namespace dvk
