// The probe road with a scripted process runner: what each end of the probe
// child means for the file, the answer's text read back, and the answers kept
// per file so that a load after an identification starts no second child.
#include <gtest/gtest.h>
#include <libraw/libraw.h>
#include <sys/stat.h>

#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_probe.h"
#include "platform/process_runner.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_record.h"

namespace dvk::test {
namespace {

struct ProbeProgram {
    explicit ProbeProgram(const std::string& program) { set_raw_probe_program(program); }
    ~ProbeProgram() { set_raw_probe_program(std::string()); }
};

ProcessResult ended(ProcessOutcome outcome, int status, std::string output, int signal = 0) {
    ProcessResult r;
    r.outcome = outcome;
    r.exit_status = status;
    r.signal = signal;
    r.output = std::move(output);
    if (outcome == ProcessOutcome::NotStarted) r.start_error = "could not start: probe: not found";
    return r;
}

TEST(RawProbe, EachEndOfTheChildDecidesTheFile) {
    TempDir dir;
    const auto good = dir / "good.dng";
    ASSERT_TRUE(write_dng(good, gradient_dng(DngLayout::Bayer, 32, 24)));
    const RawIdentity here = read_raw_identity(good.c_str());
    ASSERT_TRUE(here.is_raw());
    EXPECT_EQ(here.camera, "Acme Fixture 1");
    const std::string answer = format_raw_identity(here);
    ASSERT_EQ(parse_raw_identity(answer).value_or(RawIdentity{}).camera, "Acme Fixture 1");

    struct Case {
        const char* name;
        ProcessResult result;
        int open;  // what the identification says
    };
    const Case cases[] = {
        {"a whole answer", ended(ProcessOutcome::Exited, 0, answer), 0},
        {"a crash", ended(ProcessOutcome::Signalled, -1, "", 11), kLoadUnsafe},
        {"a hang", ended(ProcessOutcome::TimedOut, -1, "dvk-probe 1\n", 9), kLoadUnsafe},
        {"a cut answer", ended(ProcessOutcome::Exited, 0, answer.substr(0, answer.size() - 4)), kLoadUnsafe},
        {"an answer and a failure", ended(ProcessOutcome::Exited, 1, answer), kLoadUnsafe},
        {"a key twice", ended(ProcessOutcome::Exited, 0, "dvk-probe 1\nopen 0\nopen 0\nraws 1\ncamera x\nsize 0\nend\n"),
         kLoadUnsafe},
        {"another program", ended(ProcessOutcome::Exited, 0, "hello\n"), kLoadUnsafe},
        // No probe to start: the reading is done in this process.
        {"no probe", ended(ProcessOutcome::NotStarted, -1, ""), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto runner = std::make_shared<ScriptedProcessRunner>([&](const ProcessRequest&) { return c.result; });
        ScopedProcessRunner scoped(runner);
        ProbeProgram probe("/opt/dvk/dvk-probe");
        const RawIdentity id = identify_raw_file(good);
        EXPECT_EQ(id.open, c.open);
        EXPECT_EQ(identify_camera(good.c_str(), nullptr), c.open == 0 ? 0 : 1);
        TestRecord r;
        EXPECT_EQ(r.load(good), c.open);
        // One child for the identifications and the load; its request.
        ASSERT_EQ(runner->requests().size(), 1u);
        const ProcessRequest request = runner->requests().front();
        EXPECT_EQ(request.program, "/opt/dvk/dvk-probe");
        EXPECT_EQ(request.arguments.back(), good.string());
        EXPECT_EQ(request.time_limit, kRawProbeTimeLimit);
    }
}

TEST(RawProbe, AFileChangedSinceItsAnswerIsReadAgain) {
    TempDir dir;
    const auto file = dir / "a.dng";
    ASSERT_TRUE(write_dng(file, gradient_dng(DngLayout::Bayer, 32, 24)));
    const std::string answer = format_raw_identity(read_raw_identity(file.c_str()));
    auto runner = std::make_shared<ScriptedProcessRunner>(
        [&](const ProcessRequest&) { return ended(ProcessOutcome::Exited, 0, answer); });
    ScopedProcessRunner scoped(runner);
    ProbeProgram probe("/opt/dvk/dvk-probe");
    EXPECT_TRUE(identify_raw_file(file).is_raw());
    EXPECT_TRUE(identify_raw_file(file).is_raw());
    EXPECT_EQ(runner->requests().size(), 1u);
    ASSERT_TRUE(write_dng(file, gradient_dng(DngLayout::Bayer, 48, 24)));
    EXPECT_TRUE(identify_raw_file(file).is_raw());
    EXPECT_EQ(runner->requests().size(), 2u);
}

}  // namespace
}  // namespace dvk::test
