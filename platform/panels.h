// Open and save panels behind an injectable presenter.
//
// runOpenPanel / runSavePanel may be called from any thread; the panel runs
// on the main thread while a worker caller waits. nullopt is Cancel. The
// program installs the Qt panels; tests install a ScriptedPanels; with no
// presenter installed every panel answers Cancel. A panel counts as a modal
// session while it is up; once the sessions are dismissed (modal_session.h)
// every panel answers Cancel.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace dvk {

struct OpenPanelRequest {
    std::string title;
    std::string startPath;               // a folder, or a file to start beside ("" : the panel's choice)
    bool allowsMultipleSelection = true;
    bool canChooseFiles = true;
    bool canChooseDirectories = true;    // files and folders may be chosen in one choice
    std::vector<std::string> fileTypes;  // extensions without the dot; empty: any file
};

struct SavePanelRequest {
    std::string title;
    std::string directory;               // "" : the panel's choice
    std::string fileName;                // proposed name
    std::vector<std::string> fileTypes;  // extensions without the dot; empty: any
};

class PanelPresenter {
public:
    virtual ~PanelPresenter() = default;
    // Absolute paths of the chosen items, or nullopt for Cancel.
    virtual std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request) = 0;
    virtual std::optional<std::string> runSavePanel(const SavePanelRequest& request) = 0;
};

// nullptr: none (every panel answers Cancel).
void setPanelPresenter(std::shared_ptr<PanelPresenter> presenter);

std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request);
std::optional<std::string> runSavePanel(const SavePanelRequest& request);

// Panels that always answer Cancel.
class CancellingPanels : public PanelPresenter {
public:
    std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest&) override { return std::nullopt; }
    std::optional<std::string> runSavePanel(const SavePanelRequest&) override { return std::nullopt; }
};

// Panels for tests: each panel takes the next queued answer (Cancel when none
// is left) and is kept for inspection.
class ScriptedPanels : public PanelPresenter {
public:
    void answerOpen(std::vector<std::string> paths);
    void answerSave(std::string path);
    void answerCancel();

    std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request) override;
    std::optional<std::string> runSavePanel(const SavePanelRequest& request) override;

    std::vector<OpenPanelRequest> openRequests() const;
    std::vector<SavePanelRequest> saveRequests() const;

private:
    using Answer = std::variant<std::monostate, std::vector<std::string>, std::string>;
    Answer next();

    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::vector<OpenPanelRequest> openRequests_;
    std::vector<SavePanelRequest> saveRequests_;
};

}  // namespace dvk
