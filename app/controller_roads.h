// The open and batch roads as the application delegate, the presets and the
// history maintenance call them. The Controller holds one set; the program
// binds them to the roads, tests to stand-ins. A road left empty does
// nothing (an open or batch that is not started leaves nothing busy).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/history_record.h"

namespace dvk {

// One file of a batch: a path with its default (no settings), or a path with
// the history record whose settings it gets.
struct BatchEntry {
    std::string sourceFile;
    std::optional<HistoryMO> settings;
};

struct ControllerRoads {
    // Busy: a load, save or batch has set a progress that is neither 0 nor
    // complete (empty: the RawProcessor's isNotInProgress is false).
    std::function<bool()> isBusy;
    // openFileInThread: with the path (a raw file, or a settings file).
    std::function<void(const std::string& path)> openFileInThread;
    // runBatchInThread: with the entries.
    std::function<void(std::vector<BatchEntry> entries)> runBatchInThread;
    std::function<void()> deleteBatchSaved;
    // getRAWPathForTiffJpeg: the raw file a TIFF or JPEG was made from.
    std::function<std::optional<std::string>(const std::string& path)> getRAWPathForTiffJpeg;
    // completeBatch: offers to resume an unfinished batch.
    std::function<void()> completeBatch;
    // Postpones a running batch after its current file (its list stays).
    std::function<void()> postponeBatch;
    // openFile:withRawSettings: on the main thread with a settings file: the
    // settings imported onto the open file.
    std::function<void(const std::string& settingsFile)> openSettingsFile;
};

}  // namespace dvk
