// Every test of this binary runs with empty scratch data and config folders,
// so no user's presets or defaults leak in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

class MenusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        dir_ = std::make_unique<test::TempDir>();
        setenv("XDG_DATA_HOME", (dir_->path() / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_->path() / "config").c_str(), 1);
        UserDefaults::standard().reload();
    }
    void TearDown() override { dir_.reset(); }

private:
    std::unique_ptr<test::TempDir> dir_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new MenusEnvironment);

}  // namespace
}  // namespace dvk
