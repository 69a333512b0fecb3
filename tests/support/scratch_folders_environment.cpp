#include "tests/support/scratch_folders_environment.h"

#include <cstdlib>

#include "platform/user_defaults.h"

namespace dvk::test {

void ScratchFoldersEnvironment::SetUp() {
    dir_ = std::make_unique<TempDir>();
    setenv("XDG_DATA_HOME", (dir_->path() / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_->path() / "config").c_str(), 1);
    UserDefaults::standard().reload();
}

void ScratchFoldersEnvironment::TearDown() { dir_.reset(); }

}  // namespace dvk::test
