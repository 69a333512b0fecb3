// The controller's roads without windows: a ControllerFixture with a window
// stand-in that records what the roads ask of it, and a stand-in exiftool.
#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/controller/controller_ui.h"
#include "platform/dispatch.h"
#include "tests/app/controller/controller_fixture.h"

namespace dvk::test {

// Records the window requests as short lines ("title:NAME", "empty", ...).
class RecordingUi : public ControllerUi {
public:
    bool copyTags = false;
    std::string saveTitle = "Save";
    // Called with each title the roads set (a batch's "(n/m) name").
    std::function<void(const std::string&)> onTitle;

    std::vector<std::string> events() const;
    bool saw(const std::string& event) const;
    void clear();

    void showInfoText(const std::string& text) override { note("info:" + text); }
    void showStatusLine(const std::string& text, const std::string&) override { note("status:" + text); }
    void setMainWindowTitle(const std::string& title, const std::string&) override;
    void resetForNewFile() override { note("reset"); }
    void fileOpened(unsigned) override { note("opened"); }
    void showEmptyWindow() override { note("empty"); }
    void resetFrame() override { note("frame"); }
    void showCancelButton(bool shown) override { note(shown ? "cancel shown" : "cancel hidden"); }
    void updatePrev() override { note("updatePrev"); }
    bool copyTagsChecked() const override { return copyTags; }
    std::string saveButtonTitle() const override { return saveTitle; }

private:
    void note(const std::string& event);
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

class RoadsFixture : public ControllerFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens `path` on the road's thread and waits for it.
    bool openAndWait(const std::string& path);
    // From now on the roads' main-queue work waits for this thread, which
    // runs it in runMainQueueUntilIdle, as the program's event loop would.
    void useMainQueue();
    void runMainQueueUntilIdle();
    std::vector<std::string> alertTexts() const;
    // The file names in a folder, sorted (hidden ones too).
    static std::vector<std::string> namesIn(const std::filesystem::path& folder);
    // An executable shell script with this body.
    std::string script(const std::string& name, const std::string& body);

    RecordingUi ui;
    ManualMainQueue mainQueue;
};

}  // namespace dvk::test
