// Tracing a TIFF or JPEG back to the raw file it was developed from: a raw
// file of the same stem in its folder, else the history's records of what was
// written where.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace dvk {

class HistoryStore;

// "/" + the last path component without its last extension + ".", lower-cased
// (/x/IMG_0042.CR2 and /y/img_0042.tif both give "/img_0042.").
std::string stemKey(const std::string& path);
// The extension, ignoring case, is "jpeg", "jpg", "tiff" or "tif".
bool isTiffOrJpegPath(const std::string& path);
// The extension, ignoring case, is "dvks".
bool isSettingsFilePath(const std::string& path);

struct RawTraceSources {
    HistoryStore* store = nullptr;                            // null: no history steps
    std::function<bool(const std::string&)> isRawFile;        // identify_camera accepts it
    std::function<bool(const std::string&)> exists;           // a file is there (default: stat)
};

// The raw file behind a TIFF or JPEG, first hit wins:
//   1. an entry of the same folder with the same stem key that is a raw file
//      (in listing order, the file itself skipped);
//   2. the newest record whose destinationFile equals the path ignoring case
//      and whose sourceFile exists;
//   3. the newest record whose destinationFile contains the stem key
//      (ignoring case) and whose sourceFile exists;
//   4. the newest record whose sourceFile contains the stem key, exists and
//      has that stem key itself.
// nullopt for other files and when nothing is found; the chosen file itself
// is never the answer. (The caller asks first whether the file is itself a
// raw file, whatever its name: then there is nothing to trace.) Errors are
// logged.
std::optional<std::string> traceRawFileForTiffJpeg(const std::string& path, const RawTraceSources& sources);

}  // namespace dvk
