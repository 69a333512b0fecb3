// RawProcessor: the user white-balance preset file.
#include "pipeline/processor/raw_processor.h"

namespace dvk {

void RawProcessor::readWBPresetsFromXMLfile(const std::string& path) {
    if (std::optional<WhiteBalancePresetList> presets = read_wb_presets_file(path)) wbPresets_ = std::move(*presets);
}

bool RawProcessor::writeWBPresetsToXMLfile(const std::string& path) const {
    return write_wb_presets_file(path, wbPresets_);
}

}  // namespace dvk
