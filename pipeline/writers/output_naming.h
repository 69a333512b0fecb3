// Output file names: the default name beside the source, the destination
// rule (a file, or a folder ending in "/", relative to the source folder when
// not absolute), numbered names that avoid existing files, and the writable
// probe of a destination.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace dvk {

// Path helpers with the meaning of the platform's path-string operations.
std::string last_path_component(const std::string& path);
std::string path_extension(const std::string& path);               // "" when none
std::string deleting_path_extension(const std::string& path);
std::string deleting_last_path_component(const std::string& path);  // the folder, "/" for a root file
std::string appending_path_component(const std::string& folder, const std::string& name);

// Last component of `fileName` without its extension, plus ".jpeg" or ".tiff".
std::string makeDefaultBaseName(const std::string& fileName, bool jpeg);
// The output path for `fileName` and the destination setting. It makes no
// folder: the one a destination names is made when a file is written there.
std::string makeFullDestinationFileName(const std::string& fileName, const std::string& destinationFile,
                                        bool jpeg);
// `path` with an extension of the writer's kind: a "tiff" or "tif" for TIFF,
// a "jpeg" or "jpg" for JPEG is kept, any other extension becomes "tiff" or
// "jpeg".
std::string path_with_format_extension(const std::string& path, bool jpeg);
// `path` itself when nothing exists there, else the first free
// "base-NNN.ext" (counting on from a "-NNN" the name already carries), or
// nothing when 999 is reached.
std::optional<std::string> spinCounterOnFileIfExists(const std::string& path);
// `path` itself when `taken` says no to it, else the first of its numbered
// names (counted as spinCounterOnFileIfExists counts) that `taken` says no
// to, or nothing when 999 is reached.
std::optional<std::string> first_name_not_taken(const std::string& path,
                                                const std::function<bool(const std::string&)>& taken);
// The longest file name the file system of `folder` (or of the nearest
// folder above it that exists) allows, in bytes.
std::size_t longest_file_name(const std::string& folder);
// When the last component of `path` is longer than its file system allows:
// "its name is N bytes long, longer than the M bytes its file system allows";
// else "".
std::string name_length_refusal(const std::string& path);
// When something other than a regular file is at `path` (links followed): "a
// folder, not a file" or "not a regular file" (a device, a pipe, a socket);
// "" when nothing is there or a regular file is.
std::string not_a_file_refusal(const std::string& path);
// Whether a file at `path` can be opened for update, or created (and then
// removed again); for a folder that does not exist yet, whether it could be
// made (nothing is made). When it cannot, *reason (may be null) gets the
// system's reason ("Permission denied"), or says that the name is too long
// or that something other than a regular file is there.
bool destination_path_writable(const std::string& path, std::string* reason = nullptr);

// True when `a` and `b` name one existing file (the same device and inode,
// links followed): whatever the names, writing one writes over the other.
bool same_existing_file(const std::string& a, const std::string& b);
// A destination of the writer's kind kept from elsewhere (a file name, not a
// folder, with an extension): its extension made the writer's, as
// path_with_format_extension does; anything else unchanged.
std::string kept_destination_for_format(const std::string& destination, bool jpeg);

}  // namespace dvk
