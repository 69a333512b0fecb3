// The files the preview dialog shows for the selected history records.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dvk {

// What a history record names.
struct PreviewRecordFiles {
    std::string destinationFile;
    std::string sourceFile;
};

// numberOfPreviewItemsInPreviewPanel: for each record in selection order, its
// destination when it is an existing file (not a folder); then, when its
// source is an existing file, the source's siblings with the extensions
// "jpeg", "jpg", "tiff", "tif" (in that order) that exist, and the source
// itself. No path is listed twice.
std::vector<std::string> previewItemsForRecords(const std::vector<PreviewRecordFiles>& records);

// previewPanel:previewItemAtIndex: the file URL of item `index`; empty when
// there is no such item.
std::string previewItemUrl(const std::vector<std::string>& items, std::size_t index);

}  // namespace dvk
