#include "tests/app/roads/roads_fixture.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "app/desktop/exiftool.h"
#include "tests/support/scratch_folders_environment.h"

namespace dvk::test {

namespace fs = std::filesystem;

namespace {

// Scratch data and config folders for the whole binary: the roads write the
// update-feed default, and nothing of the user's may leak in.
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ScratchFoldersEnvironment);

}  // namespace

void RecordingUi::note(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
}

std::vector<std::string> RecordingUi::events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

bool RecordingUi::saw(const std::string& event) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(events_.begin(), events_.end(), event) != events_.end();
}

void RecordingUi::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

void RecordingUi::setMainWindowTitle(const std::string& title, const std::string&) {
    note("title:" + title);
    if (onTitle) onTitle(title);
}

void RoadsFixture::SetUp() {
    ControllerFixture::SetUp();
    controller->setUi(&ui);
    // The metadata text of every file, and tag copies that leave a note.
    setExiftoolProgram(script("exiftool", R"(for a; do last="$a"; done
case " $* " in *" -TagsFromFile "*) echo copied > "$last.tags"; exit 0;; esac
echo "Camera Model Name : Stub")"));
}

void RoadsFixture::TearDown() {
    runMainQueueUntilIdle();
    setMainExecutor({});
    controller->stopRoads();
    setExiftoolProgram("");
    ControllerFixture::TearDown();
}

bool RoadsFixture::openAndWait(const std::string& path) {
    bool started = controller->startOpen(path);
    controller->waitForRoads();
    return started;
}

void RoadsFixture::useMainQueue() { setMainExecutor(mainQueue.executor()); }

void RoadsFixture::runMainQueueUntilIdle() {
    for (;;) {
        mainQueue.drain();
        if (controller->activity().running() == 0 && mainQueue.pending() == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::vector<std::string> RoadsFixture::alertTexts() const {
    std::vector<std::string> texts;
    for (const AlertRequest& r : alerts.requests()) texts.push_back(r.title.value_or("") + "|" + r.text);
    return texts;
}

std::vector<std::string> RoadsFixture::namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string RoadsFixture::script(const std::string& name, const std::string& body) {
    const fs::path p = dir / name;
    std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(p, fs::perms::owner_all);
    return p.string();
}

}  // namespace dvk::test
