// Making the profile: colprof's argument list, its exit status, the checked
// and renamed result, the temporary files, and two workflows at once.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/dispatch.h"
#include "tests/profiling/profiling_test_util.h"
#include "tests/profiling/workflow_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

class ColprofTest : public WorkflowTest {
protected:
    ColprofTest() : colprof_(dir_ / "bin") {}
    // Shows the panel with a two-patch reference and samples both.
    void sampleAll() {
        openWith(writeReference("ref.cie", {"A1", "B1"}));
        sample(0);
        sample(1);
    }
    std::string profiles() const { return support() + "/Profiles"; }
    // Every file in the folder, hidden ones too.
    static std::vector<std::string> files_in(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void make(const std::string& answer) {
        platform_.saveAnswers.push_back(answer);
        workflow_->saveProfile();
        workflow_->waitForProfileRun();
    }
    StandInColprof colprof_;
};

TEST_F(ColprofTest, ProfileSavedIntoProfilesBecomesCurrent) {
    workflow_->appendToProfTextView("", true);
    openWith(writeReference("ref.cie", {"A1", "B1"}));
    workflow_->saveProfile();
    EXPECT_NE(workflow_->log().find("You have to sample all patches or import TI3 file before saving.\n"),
              std::string::npos);
    sample(0);
    sample(1);
    workflow_->setDescription("My chart");
    workflow_->setOriginator("Jane Doe");
    const mode_t umask_before = umask(027);
    make(profiles() + "/mine");  // the panel adds the extension
    umask(umask_before);
    // The mode a new file gets under the umask, not the private file's 0600.
    EXPECT_EQ(fs::status(profiles() + "/mine.icc").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    ASSERT_EQ(platform_.savePanels.size(), 1u);
    const auto& panel = platform_.savePanels.back();
    EXPECT_EQ(panel.types, (std::vector<std::string>{"icc", "icm"}));
    EXPECT_EQ(panel.directory, profiles());
    EXPECT_EQ(panel.fileName, "Canon EOS Kiss X4 ISO0 colorchart");  // the file carries no ISO
    const std::vector<std::string> args = colprof_.arguments();
    ASSERT_EQ(args.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 7),
              (std::vector<std::string>{"-v", "-qu", "-aG", "-ACanon", "-MEOS Kiss X4", "-DMy chart", "-CJane Doe"}));
    // colprof writes beside the chosen path under a temporary name, and reads
    // a private TI3 file named by the last argument plus ".ti3".
    EXPECT_EQ(args[7].rfind("-O" + profiles() + "/.mine-", 0), 0u) << args[7];
    EXPECT_EQ(args[8].rfind(tmp() + "/dvkprofiler-", 0), 0u) << args[8];
    EXPECT_NE(colprof_.lastTI3().find("A1 10.000 10.000 10.000 12.000"), std::string::npos);

    EXPECT_TRUE(fs::exists(profiles() + "/mine.icc"));
    EXPECT_EQ(defaults_->stringForKey("ProfileFile"), profiles() + "/mine.icc");
    EXPECT_EQ(host_->menuRebuilds, 1);
    EXPECT_EQ(host_->chosenProfiles, std::vector<std::string>{"mine.icc"});
    EXPECT_NE(workflow_->log().find("stand-in colprof on standard output\n"), std::string::npos);
    EXPECT_NE(workflow_->log().find("stand-in colprof on standard error\n"), std::string::npos);
    EXPECT_FALSE(workflow_->isProfileRunning());
    // Nothing temporary is left behind.
    EXPECT_TRUE(tmpFiles().empty());
    EXPECT_EQ(files_in(profiles()), std::vector<std::string>{"mine.icc"});
}

TEST_F(ColprofTest, ProfileSavedElsewhereIsNotMadeCurrent) {
    sampleAll();
    // A profile made over another keeps that one's mode.
    spit(dir_ / "elsewhere.icm", "an older profile");
    fs::permissions(dir_ / "elsewhere.icm", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    make((dir_ / "elsewhere.icm").string());
    EXPECT_NE(read_file(dir_ / "elsewhere.icm"), "an older profile");
    EXPECT_EQ(fs::status(dir_ / "elsewhere.icm").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(defaults_->stringForKey("ProfileFile"), (dir_ / "elsewhere.icm").string());
    EXPECT_EQ(host_->menuRebuilds, 0);
    EXPECT_TRUE(host_->chosenProfiles.empty());
}

TEST_F(ColprofTest, FailedRunsChangeNothing) {
    sampleAll();
    const std::string target = profiles() + "/old.icc";
    fs::create_directories(profiles());
    spit(target, "the profile made last week");

    for (const char* writes : {"good", "junk", "display", "none"}) {
        colprof_.setExit(std::string(writes) == "good" ? 3 : 0);
        colprof_.setWrites(writes);
        workflow_->appendToProfTextView("", true);
        make(target);
        EXPECT_EQ(read_file(target), "the profile made last week") << writes;
        EXPECT_EQ(defaults_->stringForKey("ProfileFile"), "") << writes;
        EXPECT_EQ(host_->menuRebuilds, 0) << writes;
        EXPECT_TRUE(tmpFiles().empty()) << writes;
        EXPECT_EQ(files_in(profiles()), std::vector<std::string>{"old.icc"}) << writes;
    }
    colprof_.setExit(3);
    colprof_.setWrites("good");
    workflow_->appendToProfTextView("", true);
    make(target);
    EXPECT_NE(workflow_->log().find("colprof failed with exit status 3: no profile was made.\n"), std::string::npos)
        << workflow_->log();
    colprof_.setExit(0);
    colprof_.setWrites("junk");
    workflow_->appendToProfTextView("", true);
    make(target);
    EXPECT_NE(workflow_->log().find("colprof made no usable profile (it is no ICC profile); nothing was changed.\n"),
              std::string::npos)
        << workflow_->log();
    colprof_.setWrites("display");
    workflow_->appendToProfTextView("", true);
    make(target);
    EXPECT_NE(workflow_->log().find("(it is not an input profile)"), std::string::npos) << workflow_->log();
}

TEST_F(ColprofTest, MissingProgramIsReported) {
    sampleAll();
    const char* path = std::getenv("PATH");
    const std::string saved = path ? path : "";
    setenv("PATH", (dir_ / "nowhere").c_str(), 1);
    workflow_->appendToProfTextView("", true);
    make(profiles() + "/mine.icc");
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(workflow_->log().find("Something bad happened with colprof (crashed?).\ncould not start: colprof"),
              workflow_->log().find("Something bad happened")) << workflow_->log();
    EXPECT_NE(workflow_->log().find("Something bad happened"), std::string::npos);
    EXPECT_FALSE(fs::exists(profiles() + "/mine.icc"));
    EXPECT_TRUE(tmpFiles().empty());
    EXPECT_EQ(defaults_->stringForKey("ProfileFile"), "");
}

TEST_F(ColprofTest, EmptyTextsNeverReachColprofEmpty) {
    sampleAll();
    libraw_iparams_t& id = host_->p().dvklib()->libraw->imgdata.idata;
    id.make[0] = '\0';
    id.model[0] = '\0';
    workflow_->setDescription(" ");
    workflow_->setOriginator("");
    make(profiles() + "/generic.icc");
    const std::vector<std::string> args = colprof_.arguments();
    ASSERT_EQ(args.size(), 9u);
    EXPECT_EQ(args[3], "-AGENERIC");
    EXPECT_EQ(args[4], "-MGENERIC");
    EXPECT_EQ(args[5], "-D" + workflow_->defaultDescription());
    EXPECT_EQ(args[6], "-C" + ProfilingWorkflow::defaultOriginator());
    EXPECT_GT(args[5].size(), 2u);
    EXPECT_GT(args[6].size(), 2u);
    EXPECT_TRUE(fs::exists(profiles() + "/generic.icc"));
}

TEST_F(ColprofTest, CancelledPanelAndUnwritableTi3LeaveNoTemporaryFile) {
    sampleAll();
    // A file planted where an older version wrote its temporary file is never touched.
    spit(dir_ / "victim", "keep");
    fs::create_symlink(dir_ / "victim", fs::path(tmp()) / "dvkprofilertmp.ti3");
    workflow_->saveProfile();  // no answer: cancelled
    workflow_->waitForProfileRun();
    EXPECT_EQ(tmpFiles(), std::vector<std::string>{"dvkprofilertmp.ti3"});
    EXPECT_EQ(read_file(dir_ / "victim"), "keep");
    EXPECT_FALSE(fs::exists(dir_ / "bin" / "ti3s"));  // colprof never ran
}

TEST_F(ColprofTest, ResultArrivesOnTheMainQueue) {
    sampleAll();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    platform_.saveAnswers.push_back(profiles() + "/queued.icc");
    workflow_->appendToProfTextView("", true);
    workflow_->saveProfile();
    EXPECT_TRUE(workflow_->isProfileRunning());
    workflow_->saveProfile();  // a second run waits for the first
    EXPECT_NE(workflow_->log().find("colprof is still making the last profile.\n"), std::string::npos);
    workflow_->waitForProfileRun();
    EXPECT_TRUE(workflow_->isProfileRunning());
    EXPECT_EQ(workflow_->log().find("stand-in colprof"), std::string::npos);
    EXPECT_EQ(queue.drain(), 1);
    setMainExecutor({});
    EXPECT_FALSE(workflow_->isProfileRunning());
    EXPECT_NE(workflow_->log().find("stand-in colprof"), std::string::npos);
    EXPECT_EQ(host_->chosenProfiles, std::vector<std::string>{"queued.icc"});
}

TEST_F(ColprofTest, OnePatchReferenceWithSyntheticPatches) {
    openWith(writeReference("one.cie", {"W1"}));
    host_->paint(10, 10, 10, 10, 0.5f, 0.5f, 0.5f);
    host_->paint(12, 12, 2, 2, 0.3f, 0.4f, 0.5f);  // a speck keeps the deviation off its floor
    workflow_->targetSampling(10, 10, 10, 10);
    ASSERT_EQ(workflow_->patch(), 1);
    workflow_->setEnforceBlack(true);
    workflow_->setEnforceWhite(true);
    make(profiles() + "/one.icc");
    EXPECT_TRUE(fs::exists(profiles() + "/one.icc"));
    // The one measured deviation serves both synthetic patches.
    const TI3Patch& w1 = workflow_->ti3Values()[0];
    EXPECT_EQ(workflow_->enfWhiteRGB().RGBStdDev, w1.RGBStdDev);
    EXPECT_EQ(workflow_->enfBlackRGB().RGBStdDev, w1.RGBStdDev);
    const std::string ti3 = colprof_.lastTI3();
    const std::size_t w = ti3.find("\nW1 "), black = ti3.find("\nDVKBLK "), white = ti3.find("\nDVKWHT ");
    ASSERT_NE(w, std::string::npos) << ti3;
    EXPECT_LT(w, black);
    EXPECT_LT(black, white);
    EXPECT_NE(ti3.find("NUMBER_OF_SETS 3\n"), std::string::npos);
}

TEST_F(ColprofTest, ProfileFinishedAfterTheFileWentIsNotChosen) {
    sampleAll();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    platform_.saveAnswers.push_back(profiles() + "/late.icc");
    workflow_->saveProfile();
    workflow_->waitForProfileRun();
    workflow_->closeProfilingWindow();
    host_->open_ = false;  // the controller has moved on
    EXPECT_EQ(queue.drain(), 1);
    setMainExecutor({});
    EXPECT_TRUE(fs::exists(profiles() + "/late.icc"));
    EXPECT_EQ(defaults_->stringForKey("ProfileFile"), profiles() + "/late.icc");
    EXPECT_TRUE(host_->chosenProfiles.empty());
}

TEST_F(ColprofTest, TwoWorkflowsAtOnceUseTheirOwnFiles) {
    sampleAll();
    FakeHost other_host(support());
    FakePlatform other_platform;
    ASSERT_TRUE(other_host.open((testdata_dir() / "raw" / "colorchart.dng").string()));
    ProfilingWorkflow other(other_host, other_platform, *defaults_);
    ASSERT_TRUE(other.showProfilingWindow());
    other_platform.openAnswers.push_back(writeReference("ref2.cie", {"X1"}));
    other.selectReferenceItem(static_cast<int>(other.referenceItems().size()) - 1);
    other.resetSampler();
    other_host.paint(10, 10, 10, 10, 0.5f, 0.5f, 0.5f);
    other.targetSampling(10, 10, 10, 10);
    ASSERT_EQ(other.patch(), 1);

    platform_.saveAnswers.push_back(profiles() + "/one.icc");
    other_platform.saveAnswers.push_back(profiles() + "/two.icc");
    workflow_->saveProfile();
    other.saveProfile();
    workflow_->waitForProfileRun();
    other.waitForProfileRun();
    const std::vector<std::string> ti3s = colprof_.ti3Paths();
    ASSERT_EQ(ti3s.size(), 2u);
    EXPECT_NE(ti3s[0], ti3s[1]);
    EXPECT_TRUE(fs::exists(profiles() + "/one.icc"));
    EXPECT_TRUE(fs::exists(profiles() + "/two.icc"));
    EXPECT_TRUE(tmpFiles().empty());
}

}  // namespace
}  // namespace dvk::test
