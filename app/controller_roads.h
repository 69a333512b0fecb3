// The open and batch roads as the application delegate, the presets and the
// history maintenance call them: a seam of functions the program binds to
// the roads (their Controller methods of the same names), tests to stand-ins.
// A road left empty does nothing.
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
    // Busy: a load, save or batch runs (empty: the RawProcessor's progress is
    // neither 0 nor complete).
    std::function<bool()> isBusy;
    // Opens one file (a raw file or a settings file) on a road's thread;
    // false when nothing started.
    std::function<bool(const std::string& path)> startOpen;
    // runBatchInThread: the entries as a new batch; false when nothing started.
    std::function<bool(std::vector<BatchEntry> entries)> runBatchInThread;
    std::function<void()> deleteBatchSaved;
    // The raw file a TIFF or JPEG was made from.
    std::function<std::optional<std::string>(const std::string& path)> getRAWPathForTiffJpeg;
    // completeBatch: offers to resume an unfinished batch (at launch).
    std::function<void()> completeBatch;
    // clickCancel: "Cancel" ends a running batch, any other title postpones it
    // after its current file (its list kept).
    std::function<void(const std::string& senderTitle)> clickCancel;
    // openFile:withRawSettings: on the main thread with a settings file (a
    // preset): its settings onto the open file.
    std::function<void(const std::string& settingsFile)> openSettingsFile;
    // initEditorsButton: the editors pop-up from editors() and currentEditor().
    std::function<void()> initEditorsButton;
};

}  // namespace dvk
