// The desktop's Trash behind an injectable layer, and the rule that decides
// between moving a file there and erasing it.
//
// The program installs the Qt form (the freedesktop Trash of the file's
// volume); tests install a RecordingTrash. With none installed nothing can be
// moved and every request fails.
//
// A file on a local volume goes to the Trash; one on a network volume (nfs,
// cifs, smb, 9p, sshfs, ...) is erased, as such volumes keep no Trash of the
// user's. A volume whose type cannot be learned (no /proc/self/mountinfo) is
// taken as local.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

class Trash {
public:
    virtual ~Trash() = default;
    // Moves the file (or folder) at `path` into the Trash; false with the
    // reason in *error when it could not.
    virtual bool moveToTrash(const std::string& path, std::string* error) = 0;
};

// The layer in use (a trash that moves nothing until one is installed;
// nullptr puts that one back).
std::shared_ptr<Trash> trash();
void set_trash(std::shared_ptr<Trash> trash);

// For tests: keeps every path asked for and answers `answer` (moving nothing).
class RecordingTrash : public Trash {
public:
    explicit RecordingTrash(bool answer = true) : answer_(answer) {}
    bool moveToTrash(const std::string& path, std::string* error) override;
    std::vector<std::string> paths() const;

private:
    bool answer_;
    mutable std::mutex mutex_;
    std::vector<std::string> paths_;
};

// The type of the file system that holds `path` (an absolute path whose links
// are resolved), from the text of a mountinfo file: the type of the mount
// whose mount point is the longest prefix of the path. nullopt when no line
// can be read.
std::optional<std::string> fileSystemTypeOf(const std::string& path, const std::string& mountinfo);
// Network file systems: nfs, nfs4, cifs, smb3, smbfs, 9p, afs, ceph, glusterfs,
// lustre, gpfs, fuse.sshfs, fuse.rclone, davfs, ...
bool isNetworkFileSystemType(const std::string& type);
// The rule for `path` on this machine (its links resolved as far as they
// exist; the mount table read): true when it goes to the Trash.
bool isOnLocalVolume(const std::string& path);
// The mount table read by isOnLocalVolume ("" : /proc/self/mountinfo); for tests.
void setMountInfoFile(const std::string& path);

}  // namespace dvk
