// dvk given values no control can hold, as a user gives them: typed into each
// kind of control (the controls' road of DVK_DEV_SET) and imported from
// settings files handed to the running program. The window develops what it
// takes within the ranges, still answers and quits, and the history record
// of the quit holds the values in force.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/desktop/single_instance.h"
#include "platform/user_defaults.h"
#include "tests/support/run_command.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

struct BoundedValuesHome {
    BoundedValuesHome() {
        fs::create_directories(dir / "run");
        UserDefaults defaults((dir.path() / "config" / "DVK" / "defaults.plist").string());
        defaults.setBool("KeyboardHelper", true);
        EXPECT_TRUE(defaults.synchronize());
    }
    std::string env(const std::string& more = "") const {
        return "env -u DVK_NO_REDIRECT XDG_DATA_HOME=" + shell_quoted((dir / "data").string()) +
               " XDG_CONFIG_HOME=" + shell_quoted((dir / "config").string()) +
               " XDG_RUNTIME_DIR=" + shell_quoted((dir / "run").string()) +
               " QT_QPA_PLATFORM=offscreen DVK_DEV_ALERTS=first " + more;
    }
    static std::string tool(const char* name) { return shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/" + name); }
    fs::path support() const { return dir.path() / "data" / "DVK"; }
    std::string log() const { return read_file(support() / "DVK.log"); }
    // The newest history record, by field.
    std::map<std::string, std::string> newestRecord() const {
        const CommandRun list = run_command(env() + tool("dvk-history") + " list");
        std::map<std::string, std::string> fields;
        std::istringstream line(list.out.substr(0, list.out.find('\n')));
        std::string field;
        while (std::getline(line, field, '\t'))
            if (const auto eq = field.find('='); eq != std::string::npos)
                fields[field.substr(0, eq)] = field.substr(eq + 1);
        return fields;
    }
    TempDir dir;
};

const std::string kChartFile = (testdata_dir() / "raw" / "colorchart.dng").string();

TEST(BoundedValues, ValuesTypedIntoEachKindOfControlAreDevelopedWithinTheRangesAndTheProgramQuits) {
    BoundedValuesHome home;
    // A slider's field, a white-balance field, pop-ups, a switch, and a
    // value that is no number at all.
    const std::string set =
        "useCameraWB=123456;localContrast=1000000000;exposure=99999;evRed=-1e300;curveType=99;saveFormat=-7;"
        "highRecoveryGuessTone=5;gamma=0;saturation=nan";
    const std::string shot = (home.dir / "shot.png").string();
    const CommandRun run = run_command(home.env("DVK_DEV_SCREENSHOT=" + shell_quoted(shot) + " DVK_DEV_SET=" +
                                                shell_quoted(set) + " timeout 120 ") +
                                       BoundedValuesHome::tool("dvk") + " " + shell_quoted(kChartFile));
    const std::string log = home.log();
    ASSERT_EQ(run.status, 0) << log;
    EXPECT_TRUE(fs::exists(shot));
    EXPECT_NE(log.find("Setting saturation refused"), std::string::npos) << log;
    EXPECT_NE(log.find("DVK quit\n"), std::string::npos) << log;
    const auto record = home.newestRecord();
    EXPECT_EQ(record.at("comment"), "Action: Exit");
    EXPECT_EQ(record.at("localContrast"), "50");
    EXPECT_EQ(record.at("exposure"), "5");
    EXPECT_EQ(record.at("evRed"), "-10");
    EXPECT_EQ(record.at("curveType"), "3");
    EXPECT_EQ(record.at("saveFormat"), "0");
    EXPECT_EQ(record.at("gamma"), "1");
    EXPECT_EQ(record.at("reservedInt1"), "1");
    EXPECT_EQ(record.at("saturation"), "0");
}

TEST(BoundedValues, AnImportIsAllOrNothingAndTheProgramStillAnswersAndQuits) {
    BoundedValuesHome home;
    const fs::path big = home.dir / "big.dvks", garbage = home.dir / "garbage.dvks";
    std::ofstream(big) << "localContrast 1000000000\nsharpness 1e9\n";
    std::ofstream(garbage) << "exposure 99999\nsaturation nan\n";
    const InstancePaths paths = instancePaths(home.support().string(), (home.dir / "run").string());
    const std::string dvk = home.env() + BoundedValuesHome::tool("dvk");
    const std::string logFile = shell_quoted((home.support() / "DVK.log").string());
    // Each file is handed over once the program takes it (it refuses files
    // while it opens or develops); the pauses keep each request on its own.
    const std::string script =
        dvk + " & pid=$!; for i in $(seq 300); do [ -S " + shell_quoted(paths.socketFile) +
        " ] && break; sleep 0.05; done; "
        "hand() { for i in $(seq 600); do " + dvk + " \"$1\" && return 0; sleep 0.05; done; echo refused; }; "
        "hand " + shell_quoted(kChartFile) + "; sleep 0.6; hand " + shell_quoted(big.string()) + "; sleep 0.6; hand " +
        shell_quoted(garbage.string()) + "; "
        "for i in $(seq 600); do grep -q 'Looks like garbage' " + logFile + " && break; sleep 0.05; done; "
        "kill -TERM $pid; for i in $(seq 600); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done; "
        "kill -0 $pid 2>/dev/null && { echo still running; kill -9 $pid; }; wait $pid; echo rc=$?";
    const CommandRun run = run_command("timeout 120 sh -c " + shell_quoted(script));
    const std::string log = home.log();
    EXPECT_EQ(run.out, "rc=0\n") << log;
    EXPECT_NE(log.find("Looks like garbage"), std::string::npos) << log;
    EXPECT_NE(log.find("DVK quit\n"), std::string::npos) << log;
    // The first import taken within the ranges, the garbage not at all.
    const auto record = home.newestRecord();
    EXPECT_EQ(record.at("comment"), "Action: Exit");
    EXPECT_EQ(record.at("localContrast"), "50");
    EXPECT_EQ(record.at("reservedDouble2"), "50");  // sharpness
    EXPECT_EQ(record.at("exposure"), "0");
    EXPECT_EQ(record.at("saturation"), "0");
}

}  // namespace
}  // namespace dvk::test
