#include "app/history/history_filter.h"

#include "app/history/history_defaults.h"
#include "app/history/text_match.h"
#include "pipeline/writers/output_naming.h"

namespace dvk {

HistoryList::Filter historyFilterForFile(const std::string& path, const std::string& camera) {
    // The name with its "/": "IMG_1.CR2" alone would also match "XIMG_1.CR2".
    std::string ending = "/";
    ending += last_path_component(path);
    const std::vector<std::string> chain = folderChain(path);
    return [ending, chain, camera](const HistoryMO& r) {
        const std::string source = r.sourceFile();
        const bool file = endsWithText(source, ending, kFoldCase | kFoldDiacritics) || inTexts(source, chain, kFoldCase);
        return file && likeText(r.camera(), camera, kFoldCase);
    };
}

}  // namespace dvk
