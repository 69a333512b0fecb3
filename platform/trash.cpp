#include "platform/trash.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/log.h"

namespace dvk {

namespace {

class NoTrash : public Trash {
public:
    bool moveToTrash(const std::string& path, std::string* error) override {
        if (error) *error = "no Trash is available for " + path;
        return false;
    }
};

std::mutex g_mutex;

std::shared_ptr<Trash>& current() {
    static std::shared_ptr<Trash> t = std::make_shared<NoTrash>();
    return t;
}

// Mount points in mountinfo escape blanks, tabs, new lines and backslashes as
// three octal digits.
std::string unescape_octal(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            const std::string digits = s.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out.push_back(static_cast<char>(std::strtol(digits.c_str(), nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

bool is_prefix_folder(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return !path.empty() && path[0] == '/';
    if (path.compare(0, mountPoint.size(), mountPoint) != 0) return false;
    return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

// The folder of `path` with its links resolved, and its last component as it
// is (a link is trashed itself, where it lies); a part that does not exist is
// kept as written below its nearest existing folder.
std::string resolved(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return path;
    std::string head = slash == 0 ? std::string("/") : path.substr(0, slash), tail = path.substr(slash + 1);
    for (;;) {
        char buffer[PATH_MAX];
        if (realpath(head.c_str(), buffer)) {
            std::string r = buffer;
            if (!tail.empty()) r += (r == "/" ? "" : "/") + tail;
            return r;
        }
        slash = head.rfind('/');
        if (slash == std::string::npos || head == "/") return path;
        const std::string last = head.substr(slash + 1);
        tail = tail.empty() ? last : last + "/" + tail;
        head = slash == 0 ? std::string("/") : head.substr(0, slash);
    }
}

}  // namespace

bool RecordingTrash::moveToTrash(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    paths_.push_back(path);
    if (!answer_ && error) *error = "refused by the test Trash";
    return answer_;
}

std::vector<std::string> RecordingTrash::paths() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paths_;
}

std::shared_ptr<Trash> trash() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return current();
}

void set_trash(std::shared_ptr<Trash> t) {
    std::lock_guard<std::mutex> lock(g_mutex);
    current() = t ? std::move(t) : std::make_shared<NoTrash>();
}

std::optional<std::string> fileSystemTypeOf(const std::string& path, const std::string& mountinfo) {
    std::istringstream lines(mountinfo);
    std::string line, bestPoint, bestType;
    bool found = false;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional fields] - type source super-options
        std::istringstream fields(line);
        std::vector<std::string> f{std::istream_iterator<std::string>(fields), std::istream_iterator<std::string>()};
        if (f.size() < 7) continue;
        std::size_t dash = 6;
        while (dash < f.size() && f[dash] != "-") ++dash;
        if (dash + 1 >= f.size()) continue;
        const std::string point = unescape_octal(f[4]);
        if (!is_prefix_folder(point, path)) continue;
        // The later of two mounts on one point hides the earlier.
        if (!found || point.size() >= bestPoint.size()) {
            bestPoint = point;
            bestType = f[dash + 1];
            found = true;
        }
    }
    if (!found) return std::nullopt;
    return bestType;
}

bool isNetworkFileSystemType(const std::string& type) {
    static const char* const kNetwork[] = {"nfs",  "nfs4",      "cifs",  "smb3",   "smbfs",  "smb",        "9p",
                                           "afs",  "ceph",      "coda",  "ncpfs",  "ocfs2",  "glusterfs",  "lustre",
                                           "gpfs", "davfs",     "fuse.sshfs", "fuse.rclone", "fuse.glusterfs",
                                           "fuse.ceph", "fuse.s3fs", "fuse.gcsfuse", "fuse.davfs2"};
    for (const char* n : kNetwork)
        if (type == n) return true;
    return false;
}

namespace {

std::string& mount_info_file() {
    static std::string file;
    return file;
}

}  // namespace

void setMountInfoFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    mount_info_file() = path;
}

bool isOnLocalVolume(const std::string& path) {
    std::string table;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        table = mount_info_file().empty() ? std::string("/proc/self/mountinfo") : mount_info_file();
    }
    std::ifstream in(table);
    if (!in) return true;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::optional<std::string> type = fileSystemTypeOf(resolved(path), text);
    if (!type) return true;
    return !isNetworkFileSystemType(*type);
}

}  // namespace dvk
