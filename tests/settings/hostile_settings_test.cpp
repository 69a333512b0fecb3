// Settings from elsewhere as a hostile sender would make them: every road in
// (the tools' settings files, an import, a paste) refuses them with the
// reason and applies nothing, or applies them without what is this file's
// own, and never crashes, hangs or reads without end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/processor/settings_argument.h"
#include "platform/pasteboard.h"
#include "tests/support/hostile_files.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

struct Hostile {
    const char* name;
    // Makes the settings file (or what stands in its place) and gives its path.
    std::function<std::string(const fs::path& dir)> make;
    const char* error;  // what the tools' road says; null: the settings apply
};

std::string write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

TEST(HostileSettings, EachRoadRefusesWithTheReasonOrAppliesWithoutTheFilesOwnKeys) {
    test::TempDir dir;
    const std::string fifo = (dir / "fifo.dvks").string();
    ASSERT_TRUE(test::make_fifo(fifo));
    std::vector<Hostile> table = {
        {"deep XML (3 MB, 200000 levels)",
         [](const fs::path& d) { return write(d / "deep.dvks", test::deep_xml_plist(200000)); },
         "nested too deeply (more than 256 levels)"},
        {"XML just too deep",
         [](const fs::path& d) { return write(d / "deeper.dvks", test::deep_xml_plist(256)); },
         "nested too deeply"},
        {"deep binary (200000 levels)",
         [](const fs::path& d) { return write(d / "deep-binary.dvks", test::deep_binary_plist(200000)); },
         "nested too deeply (more than 256 levels)"},
        {"binary array that holds itself",
         [](const fs::path& d) { return write(d / "loop.dvks", test::self_holding_binary_plist()); },
         "damaged binary property list"},
        {"a folder", [](const fs::path& d) { fs::create_directory(d / "folder.dvks"); return (d / "folder.dvks").string(); },
         "folder.dvks: not a regular file"},
        {"/dev/zero", [](const fs::path&) { return std::string("/dev/zero"); }, "/dev/zero: not a regular file"},
        {"a FIFO", [&](const fs::path&) { return fifo; }, "fifo.dvks: not a regular file"},
        {"a huge file",
         [](const fs::path& d) {
             test::make_sparse_file(d / "huge.dvks", std::uintmax_t{1} << 30);
             return (d / "huge.dvks").string();
         },
         "huge.dvks: too large (1073741824 bytes, at most 4194304)"},
        {"missing", [](const fs::path& d) { return (d / "nothing.dvks").string(); }, "No such file or directory"},
        {"a word for a number",
         [](const fs::path& d) { return write(d / "word.dvks", "exposure 1\nbrightness abc\n"); },
         "word.dvks: the setting brightness takes a number, not \"abc\""},
        {"a number with a tail",
         [](const fs::path& d) { return write(d / "tail.dvks", "exposure 1\nsaturation 12abc\n"); },
         "tail.dvks: the setting saturation takes a number, not \"12abc\""},
        {"a key that is no setting",
         [](const fs::path& d) { return write(d / "key.dvks", "exposure 1\nexposur 2\n"); },
         "key.dvks: there is no setting exposur"},
        {"text without a key", [](const fs::path& d) { return write(d / "none.dvks", "\n\n"); },
         "none.dvks holds no settings"},
        {"a camera profile that is a folder",
         [](const fs::path& d) { return write(d / "pf.dvks", "exposure 1\ncustomRawProfile " + d.string() + "\n"); },
         "cannot read the camera profile"},
        {"a camera profile that is a device",
         [](const fs::path& d) { return write(d / "pz.dvks", "exposure 1\ncustomRawProfile /dev/zero\n"); },
         "cannot read the camera profile /dev/zero: not a regular file"},
        {"a camera profile that is a FIFO",
         [&](const fs::path& d) { return write(d / "pq.dvks", "exposure 1\ncustomRawProfile " + fifo + "\n"); },
         "fifo.dvks: not a regular file"},
        {"a destination, a source and a camera",
         [](const fs::path& d) {
             return write(d / "dest.dvks", "exposure 1\ndestinationFile ../other/precious.tiff\n"
                                           "fileName /any/where/x.dng\nsettings.camera Other Cam\n");
         },
         nullptr},
    };
    // (Root reads any file.)
    if (geteuid() != 0)
        table.push_back({"a file the user may not read",
                         [](const fs::path& d) {
                             const std::string locked = write(d / "locked.dvks", "exposure 1\n");
                             fs::permissions(locked, fs::perms::none);
                             return locked;
                         },
                         "locked.dvks: Permission denied"});
    for (const Hostile& h : table) {
        SCOPED_TRACE(h.name);
        const std::string path = h.make(dir.path());
        RawProcessor tool, window;
        tool.setDestinationFile("/mine/out.tiff");
        window.setDestinationFile("/mine/out.tiff");
        testing::internal::CaptureStderr();
        const std::optional<std::string> failure = apply_settings_file(tool, path);
        std::string refusal;
        const bool imported = window.importSettingsFromFile(path, nullptr, &refusal);
        const std::string log = testing::internal::GetCapturedStderr();
        if (h.error) {
            ASSERT_TRUE(failure);
            EXPECT_NE(failure->find(h.error), std::string::npos) << *failure;
            // In the reason's own words, not another platform's.
            EXPECT_EQ(failure->find("coding-compliant"), std::string::npos) << *failure;
            if (std::string(h.name).find("camera profile") == std::string::npos) {
                // All or nothing: the file's exposure is not applied, and
                // the window has the reason to say.
                EXPECT_FALSE(imported);
                // (An import reads a name without the extension with it.)
                if (path.ends_with(".dvks")) {
                    EXPECT_NE(refusal.find(h.error), std::string::npos) << refusal;
                }
                EXPECT_FALSE(refusal.empty());
                EXPECT_EQ(window.exposure(), 0.0);
                EXPECT_EQ(tool.exposure(), 0.0);
            } else {
                // The window takes the rest and says the profile's trouble
                // when its menu hands it over.
                EXPECT_TRUE(imported);
                EXPECT_NE(window.customRawProfileError().find(": not a regular file"), std::string::npos) << log;
            }
        } else {
            EXPECT_FALSE(failure) << *failure;
            EXPECT_TRUE(imported);
            for (const RawProcessor* p : {&tool, &window}) {
                EXPECT_EQ(p->exposure(), 1.0);
                EXPECT_EQ(p->destinationFile(), "/mine/out.tiff");
                EXPECT_EQ(p->fileName(), "");
                EXPECT_EQ(p->camera(), "");
            }
            EXPECT_NE(log.find("Settings from outside: destinationFile \"../other/precious.tiff\" not taken"),
                      std::string::npos)
                << log;
        }
    }

    // The clipboard: the same data refused, and far too much text too.
    set_general_pasteboard(nullptr);
    for (const std::string& data : {test::deep_xml_plist(200000), std::string(5 << 20, '#')}) {
        RawProcessor p;
        general_pasteboard()->setString(data);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(p.importSettingsFromFile(std::string()));
        EXPECT_NE(testing::internal::GetCapturedStderr().find("Settings not imported: "), std::string::npos);
    }
    general_pasteboard()->setString("exposure 0.5\ndestinationFile /any/where/stolen.tiff\n");
    RawProcessor pasted;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(pasted.importSettingsFromFile(std::string()));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(pasted.exposure(), 0.5);
    EXPECT_EQ(pasted.destinationFile(), "");
    set_general_pasteboard(nullptr);
}

}  // namespace
}  // namespace dvk
