// Every test of this binary runs with empty scratch data and config folders,
// so no user's presets or defaults leak in.
#include "tests/support/scratch_folders_environment.h"

namespace dvk {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new test::ScratchFoldersEnvironment);

}  // namespace
}  // namespace dvk
