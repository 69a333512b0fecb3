// A test environment giving a whole test binary empty scratch data and
// config folders (XDG_DATA_HOME, XDG_CONFIG_HOME), so that no user's presets
// or defaults leak in. A binary registers it once:
//   ::testing::AddGlobalTestEnvironment(new test::ScratchFoldersEnvironment);
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/test_paths.h"

namespace dvk::test {

class ScratchFoldersEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    std::unique_ptr<TempDir> dir_;
};

}  // namespace dvk::test
