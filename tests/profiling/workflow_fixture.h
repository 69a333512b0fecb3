// A profiling workflow over the real chart file with every outside service
// scripted: the host counts the preview developments it is asked for (the
// tests paint the preview they sample; dvk-profile's end-to-end test develops
// for real), the
// panels answer from queues, defaults and the support folder live in a
// scratch folder, and a stand-in `colprof` is first on PATH.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "platform/user_defaults.h"
#include "profiling/profiling_workflow.h"
#include "tests/support/test_paths.h"

namespace dvk::test {

class FakeHost : public ProfilingHost {
public:
    explicit FakeHost(std::string support) : support_(std::move(support)) {}
    RawProcessor* processor() override { return open_ ? &processor_ : nullptr; }
    unsigned previewWidth() const override { return processor_.imageWidth(); }
    unsigned previewHeight() const override { return processor_.imageHeight(); }
    bool showPrevious() const override { return showPrevious_; }
    void runApply() override;
    void clearInfoReadouts() override { ++clears; }
    void createProfileMenu() override { ++menuRebuilds; }
    void setCustomCameraProfile(const std::string& name) override;
    std::string applicationSupportFolder() const override { return support_; }

    // Loads the chart at half size, as the open road does.
    bool open(const std::string& path);
    RawProcessor& p() { return processor_; }
    // Paints a rectangle of the preview in one colour.
    void paint(unsigned x, unsigned y, unsigned w, unsigned h, float r, float g, float b);

    bool open_ = false;
    bool showPrevious_ = false;
    int applies = 0, clears = 0, menuRebuilds = 0;
    std::vector<std::string> chosenProfiles;

private:
    std::string support_;
    RawProcessor processor_;
};

class FakePlatform : public ProfilingPlatform {
public:
    std::optional<std::string> runOpenPanel(const FilePanel& panel) override;
    std::optional<std::string> runSavePanel(const FilePanel& panel) override;
    bool optionKeyHeld() override { return alt; }
    void openWithSystem(const std::string& path) override { opened.push_back(path); }

    std::deque<std::optional<std::string>> openAnswers, saveAnswers;
    std::vector<FilePanel> openPanels, savePanels;
    std::vector<std::string> opened;
    bool alt = false;
};

// The stand-in colprof: records its arguments and the TI3 it was given,
// prints a line on each output stream and, as told by files in its folder,
// writes a good profile, junk or nothing and exits with a chosen status.
class StandInColprof {
public:
    explicit StandInColprof(const std::filesystem::path& dir);
    ~StandInColprof();
    void setExit(int status);
    void setWrites(const std::string& what);  // "good", "junk" or "none"
    std::vector<std::string> arguments() const;
    std::vector<std::string> ti3Paths() const;  // the TI3 base names of every run
    std::string lastTI3() const;

private:
    std::filesystem::path dir_;
    std::string oldPath_;
};

class WorkflowTest : public ::testing::Test {
protected:
    WorkflowTest();
    ~WorkflowTest() override;

    std::string support() const { return (dir_ / "support").string(); }
    std::string tmp() const { return (dir_ / "tmp").string(); }
    // A reference file of these ids (XYZ 10 * (i + 1) each) in the scratch folder.
    std::string writeReference(const std::string& name, const std::vector<std::string>& ids);
    // Shows the panel and loads `reference` through the pop-up's file item.
    void openWith(const std::string& reference);
    // Samples patch i of a reference as the rectangle (10 + 20 i, 10, 10, 10),
    // painted (i + 1) / 40 in red, half that in green and blue.
    void sample(int i);
    // Files left in the temporary folder.
    std::vector<std::string> tmpFiles() const;

    TempDir dir_;
    std::string oldTmp_;
    std::unique_ptr<UserDefaults> defaults_;
    std::unique_ptr<FakeHost> host_;
    FakePlatform platform_;
    std::unique_ptr<ProfilingWorkflow> workflow_;
};

}  // namespace dvk::test
