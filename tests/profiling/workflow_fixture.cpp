#include "tests/profiling/workflow_fixture.h"

#include <lcms2.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/profiling/profiling_test_util.h"

namespace dvk::test {

namespace fs = std::filesystem;

void FakeHost::runApply() { ++applies; }

void FakeHost::setCustomCameraProfile(const std::string& name) {
    chosenProfiles.push_back(name);
    processor_.setCustomRawProfile(support_ + "/Profiles/" + name);
}

bool FakeHost::open(const std::string& path) {
    if (processor_.initFloatPreviewFromRawFile(path) != 0) return false;
    processor_.setProgress(0);
    open_ = true;
    // The tests paint the patches they sample; the rest of the preview is black.
    std::fill_n(processor_.preview(), processor_.previewFloats(), 0.0f);
    return true;
}

void FakeHost::paint(unsigned x, unsigned y, unsigned w, unsigned h, float r, float g, float b) {
    const unsigned width = previewWidth();
    for (unsigned row = y; row < y + h; ++row)
        for (unsigned col = x; col < x + w; ++col) {
            float* px = processor_.preview() + (static_cast<std::size_t>(row) * width + col) * 3;
            px[0] = r;
            px[1] = g;
            px[2] = b;
        }
}

std::optional<std::string> FakePlatform::runOpenPanel(const FilePanel& panel) {
    openPanels.push_back(panel);
    if (openAnswers.empty()) return std::nullopt;
    auto answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

std::optional<std::string> FakePlatform::runSavePanel(const FilePanel& panel) {
    savePanels.push_back(panel);
    if (saveAnswers.empty()) return std::nullopt;
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

namespace {

void write_profile(const fs::path& path, cmsProfileClassSignature device_class) {
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 5003);
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE h = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsSetDeviceClass(h, device_class);
    cmsSaveProfileToFile(h, path.c_str());
    cmsCloseProfile(h);
    cmsFreeToneCurve(gamma);
}

const char* const kScript = R"SH(#!/bin/sh
dir="$(dirname "$0")"
: > "$dir/args"
last=""
out=""
for a in "$@"; do
  printf '%s\n' "$a" >> "$dir/args"
  last="$a"
  case "$a" in -O*) out="${a#-O}" ;; esac
done
printf '%s\n' "$last" >> "$dir/ti3s"
cp "$last.ti3" "$dir/seen.ti3" 2>/dev/null
echo "stand-in colprof on standard output"
echo "stand-in colprof on standard error" >&2
what=$(cat "$dir/writes")
case "$what" in
  good) cp "$dir/good.icc" "$out" ;;
  display) cp "$dir/display.icc" "$out" ;;
  junk) echo "not a profile" > "$out" ;;
esac
exit $(cat "$dir/exit")
)SH";

}  // namespace

StandInColprof::StandInColprof(const fs::path& dir) : dir_(dir) {
    fs::create_directories(dir_);
    spit(dir_ / "colprof", kScript);
    fs::permissions(dir_ / "colprof", fs::perms::owner_all);
    write_profile(dir_ / "good.icc", cmsSigInputClass);
    write_profile(dir_ / "display.icc", cmsSigDisplayClass);
    setExit(0);
    setWrites("good");
    const char* path = std::getenv("PATH");
    oldPath_ = path ? path : "";
    setenv("PATH", (dir_.string() + ":" + oldPath_).c_str(), 1);
}

StandInColprof::~StandInColprof() { setenv("PATH", oldPath_.c_str(), 1); }

void StandInColprof::setExit(int status) { spit(dir_ / "exit", std::to_string(status) + "\n"); }
void StandInColprof::setWrites(const std::string& what) { spit(dir_ / "writes", what + "\n"); }

namespace {
std::vector<std::string> lines_of(const fs::path& p) {
    std::istringstream in(read_file(p));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
}  // namespace

std::vector<std::string> StandInColprof::arguments() const { return lines_of(dir_ / "args"); }
std::vector<std::string> StandInColprof::ti3Paths() const { return lines_of(dir_ / "ti3s"); }
std::string StandInColprof::lastTI3() const { return read_file(dir_ / "seen.ti3"); }

WorkflowTest::WorkflowTest() {
    fs::create_directories(dir_ / "tmp");
    const char* t = std::getenv("TMPDIR");
    oldTmp_ = t ? t : "";
    setenv("TMPDIR", tmp().c_str(), 1);
    defaults_ = std::make_unique<UserDefaults>((dir_ / "defaults.plist").string());
    host_ = std::make_unique<FakeHost>(support());
    workflow_ = std::make_unique<ProfilingWorkflow>(*host_, platform_, *defaults_);
    EXPECT_TRUE(host_->open((testdata_dir() / "raw" / "colorchart.dng").string()));
}

WorkflowTest::~WorkflowTest() {
    workflow_.reset();
    if (oldTmp_.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", oldTmp_.c_str(), 1);
}

std::string WorkflowTest::writeReference(const std::string& name, const std::vector<std::string>& ids) {
    std::string text = "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z\nEND_DATA_FORMAT\nBEGIN_DATA\n";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string v = std::to_string(10 * (i + 1));
        text += ids[i] + " " + v + " " + v + " " + v + "\n";
    }
    text += "END_DATA\n";
    const fs::path p = dir_ / name;
    spit(p, text);
    return p.string();
}

void WorkflowTest::openWith(const std::string& reference) {
    ASSERT_TRUE(workflow_->showProfilingWindow());
    const auto& items = workflow_->referenceItems();
    const int other = static_cast<int>(items.size()) - 1;
    ASSERT_EQ(items[static_cast<std::size_t>(other)].tag, 1);
    platform_.openAnswers.push_back(reference);
    workflow_->selectReferenceItem(other);
    workflow_->resetSampler();
}

void WorkflowTest::sample(int i) {
    const unsigned x = 10 + 20 * static_cast<unsigned>(i);
    const float v = static_cast<float>(i + 1) / 40;
    host_->paint(x, 10, 10, 10, v, v / 2, v / 2);
    workflow_->targetSampling(x, 10, 10, 10);
}

std::vector<std::string> WorkflowTest::tmpFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(tmp())) names.push_back(e.path().filename().string());
    return names;
}

}  // namespace dvk::test
