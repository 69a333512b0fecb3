// Hostile and damaged raw files through the loader, with the probe program
// in use as the programs have it: each is refused with its own reason, at
// half and at full size, in a child whose memory stays within what the file
// can hold; the file whose first reading crashes LibRaw is refused by the
// probe, and the loader's process goes on.
#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_probe.h"
#include "tests/support/hostile_raw_files.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_record.h"

namespace dvk::test {
namespace {

struct ProbeInUse {
    ProbeInUse() { set_raw_probe_program(std::string(DVK_BINARY_DIR) + "/bin/dvk-probe"); }
    ~ProbeInUse() { set_raw_probe_program(std::string()); }
};

TEST(HostileFiles, AreRefusedWithTheirReasonInBoundedMemory) {
    TempDir dir;
    ProbeInUse probe;
    for (const HostileFile& f : write_hostile_files(dir.path())) {
        for (const int half : {1, 0}) {
            SCOPED_TRACE(f.name + (half ? " at half size" : " at full size"));
            const ChildRun run = run_in_child(
                [&] {
                    TestRecord r;
                    return r.load(f.path, half);
                },
                f.as_other_user);
            ASSERT_TRUE(run.ended);
            EXPECT_EQ(run.result, f.code) << load_error_text(f.path, run.result);
            EXPECT_LT(run.grown_kb, f.max_mb * 1024);
        }
        // The identification: headers too large for their data are raw
        // files all the same (the load refuses them); the others are not.
        const RawIdentity id = identify_raw_file(f.path);
        if (f.code == kLoadLargerThanData || f.code == kLoadDataPastEnd) {
            EXPECT_TRUE(id.is_raw()) << f.name;
            EXPECT_EQ(id.size, f.code) << f.name;
        } else if (f.code != LIBRAW_IO_ERROR && !f.as_other_user) {
            EXPECT_FALSE(id.is_raw()) << f.name;
            EXPECT_EQ(id.refusal(), f.code) << f.name;
        }
    }
}

}  // namespace
}  // namespace dvk::test
