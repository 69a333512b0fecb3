// dvk-develop's metadata and menu roads, on the application's rules:
// --exif, --menus and the tag copy of --copy-tags.
#pragma once

#include <string>

namespace dvk {
class RawProcessor;
}

namespace dvk::develop {

// Prints exiftool's info text of `path`. 0, or 1 when the tool gave nothing.
int exif_file(const std::string& path);

// Opens `path` as the application does (half-size load, the info run) and
// prints the items of the profile, filter and white-balance menus. 0 or 1.
int menus_file(const std::string& path);

// The after-save tag copy of the file `processor` just wrote. False (after
// a message on stderr) when it failed.
bool copy_tags_after_save(const RawProcessor& processor);

}  // namespace dvk::develop
