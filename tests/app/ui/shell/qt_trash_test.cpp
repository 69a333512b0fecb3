// The freedesktop Trash through the Qt layer, in a temporary home: the file
// goes to the home Trash with its ".trashinfo" record naming where it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/qt/qt_platform.h"
#include "tests/app/ui/shell/qt_test_app.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Works in another folder for one scope.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const fs::path& folder) : old_(fs::current_path()) { fs::current_path(folder); }
    ~ScopedWorkingDirectory() { fs::current_path(old_); }

private:
    fs::path old_;
};

TEST(QtTrash, MovesAFileIntoTheHomeTrashWithItsOrigin) {
    test::qtApp();
    test::TempDir home;
    // Whatever lands in the working folder lands in the test's own.
    const fs::path work = home.path() / "work";
    fs::create_directories(work);
    ScopedWorkingDirectory cwd(work);
    ScopedEnv h("HOME", home.path().string());
    ScopedEnv d("XDG_DATA_HOME", (home.path() / ".local" / "share").string());
    const fs::path photo = home.path() / "photos" / "x.NEF";
    fs::create_directories(photo.parent_path());
    std::ofstream(photo) << "raw";

    QtTrash trash;
    std::string error;
    ASSERT_TRUE(trash.moveToTrash(photo.string(), &error)) << error;
    EXPECT_FALSE(fs::exists(photo));
    const fs::path trashDir = home.path() / ".local" / "share" / "Trash";
    EXPECT_TRUE(fs::exists(trashDir / "files" / "x.NEF"));
    std::ifstream info(trashDir / "info" / "x.NEF.trashinfo");
    const std::string text{std::istreambuf_iterator<char>(info), {}};
    EXPECT_NE(text.find("Path=" + photo.string()), std::string::npos) << text;

    EXPECT_FALSE(trash.moveToTrash(photo.string(), &error));  // gone already
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_empty(work));  // no "files" or "info" beside the program
}

}  // namespace
}  // namespace dvk
