// ProfilingWorkflow: the reference pop-up and loading a reference file.
#include <algorithm>
#include <filesystem>
#include <strings.h>

#include "platform/folder_functions.h"
#include "platform/user_defaults.h"
#include "pipeline/writers/output_naming.h"
#include "profiling/private_files.h"
#include "profiling/profiling_workflow.h"
#include "profiling/reference_files.h"

namespace dvk {

namespace {

bool is_reference_extension(const std::filesystem::path& p) {
    const std::string ext = p.extension().string();
    for (const char* allowed : {".cie", ".q60", ".ti3"})
        if (strcasecmp(ext.c_str(), allowed) == 0) return true;
    return false;
}

}  // namespace

void ProfilingWorkflow::createProfileTemplatesMenu() {
    namespace fs = std::filesystem;
    const std::string folder = templateFolder();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) createDirectoryPath(folder);

    referenceItems_.resize(1);  // the built-in reference stays first
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_ec;
        if (is_reference_extension(it->path()) && it->is_regular_file(type_ec))
            names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) referenceItems_.push_back({name, 2});
    referenceItems_.push_back({"Other\u2026", 1});

    selectedReference_ = 0;
    const std::string last = defaults_.stringForKey("CIEFile");
    if (!last.empty()) {
        const std::string title = last_path_component(last);
        for (std::size_t i = 0; i < referenceItems_.size(); ++i)
            if (referenceItems_[i].tag != 1 && referenceItems_[i].title == title) {
                selectedReference_ = static_cast<int>(i);
                break;
            }
    }
    changed(ProfilingChange::ReferenceMenu);
    loadCIEFile();
}

void ProfilingWorkflow::selectReferenceItem(int index) {
    if (index < 0 || index >= static_cast<int>(referenceItems_.size())) return;
    selectedReference_ = index;
    changed(ProfilingChange::ReferenceMenu);
    loadCIEFile();
}

void ProfilingWorkflow::loadCIEFile() {
    if (!fileOpenAndIdle()) return;
    const ReferenceItem& item = referenceItems_[static_cast<std::size_t>(selectedReference_)];
    std::string path;
    if (item.tag == 2) {
        path = templateFolder() + "/" + item.title;
    } else if (item.tag == 1) {
        const char* home = std::getenv("HOME");
        ProfilingPlatform::FilePanel panel{{"cie", "q60", "ti3"}, home ? home : "", ""};
        // A cancelled panel gives no path; the read then fails and says so.
        path = platform_.runOpenPanel(panel).value_or("");
    } else {
        path = builtinReferencePath();
    }
    if (readCIEFile(path)) {
        defaults_.setString("CIEFile", path);
        defaults_.synchronize();
    }
}

bool ProfilingWorkflow::readCIEFile(const std::string& path) {
    std::string error;
    cgats_ptr c = open_reference_cgats(path.c_str(), &error);
    if (!c) {
        logf("Error loading CIE reference value definitions from: %s\n%s", path.c_str(), error.c_str());
        return false;
    }
    std::vector<CIEPatch> patches;
    const int sets = c->table(0).nsets();
    patches.reserve(static_cast<std::size_t>(sets));
    const auto fail = [&] {
        cieFileName_.clear();
        cieValues_.clear();
        updatePatchToSelect();
        return false;
    };
    for (int i = 0; i < sets; ++i) {
        CIEPatch patch;
        std::string why;
        if (!read_cie_set(c.get(), i, &patch, &why)) {
            logf("Error loading CIE set %d from: %s\n", i, path.c_str());
            logf("Set %d cannot be read: %s\n", i, why.c_str());
            return fail();
        }
        if (!is_enforced_patch_id(patch.id)) patches.push_back(std::move(patch));
    }
    std::string problem;
    if (!patch_ids_usable(patches, &problem)) {
        logf("Error loading CIE reference value definitions from: %s\n%s\n", path.c_str(), problem.c_str());
        return fail();
    }
    cieValues_ = std::move(patches);
    cieFileName_ = path;
    if (referenceItems_[static_cast<std::size_t>(selectedReference_)].tag == 0)
        logf("CIE reference value definitions set to default ColorChecker 24\n");
    else
        logf("CIE reference value definitions loaded from: %s\n", path.c_str());
    // Sampling stands complete until Restart.
    patch_ = static_cast<int>(cieValues_.size());
    updatePatchToSelect();
    return true;
}

}  // namespace dvk
