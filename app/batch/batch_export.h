// exportBatchSavedToApp: hands every file the last batch wrote to the current
// editor at once. The list is the batch saved file (an XML property list of
// one array of paths); the editor learns its path from DVK_BATCHRESFILE, set
// for the editor alone. A desktop entry also gets the listed files that still
// exist (after a warning naming their count); an executable gets none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/common/alert_function.h"

namespace dvk {

class ProcessRunner;

enum class BatchExportResult { NoEditor, NoList, NoFilesLeft, Cancelled, NotExecutable, LaunchFailed, Launched };

BatchExportResult exportBatchSavedToApp(const std::vector<std::string>& editors, std::int64_t currentEditor,
                                        const std::string& batchSavedFile, const AlertFunction& alert,
                                        ProcessRunner& runner);

// The paths of a batch saved file; nullopt when it is missing or holds no
// array of strings.
std::optional<std::vector<std::string>> readBatchSavedList(const std::string& path);

}  // namespace dvk
