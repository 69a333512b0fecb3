#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/settings/settings_text.h"
#include "pipeline/settings/white_balance_presets.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

TEST(SettingsFile, ExtensionRule) {
    EXPECT_EQ(settings_path_with_extension("/tmp/look"), "/tmp/look.dvks");
    EXPECT_EQ(settings_path_with_extension("/tmp/look.DVKS"), "/tmp/look.DVKS");
    EXPECT_EQ(settings_path_with_extension("/tmp/look.Dvks"), "/tmp/look.Dvks");
    EXPECT_EQ(settings_path_with_extension("/p/IMG_1.CR2"), "/p/IMG_1.CR2.dvks");
    EXPECT_EQ(settings_path_with_extension("/p.d/look"), "/p.d/look.dvks");
    EXPECT_EQ(settings_path_with_extension("look/"), "look.dvks");
    EXPECT_EQ(path_extension("/a/b.tar.gz"), "gz");
    EXPECT_EQ(path_extension("/a.b/c"), "");
    EXPECT_EQ(last_path_component("/a/b/c.icc"), "c.icc");
    EXPECT_EQ(last_path_component("c.icc"), "c.icc");
}

SettingsDictionary sample() {
    SettingsDictionary d;
    d.set("exposure", 0.1);
    d.set("curveType", 3);
    d.set("uplab", true);
    d.set("filterName", "GF Lith Silver");
    d.set("hlRange", -1.0 / 7.0);
    d.set("customRawProfile", "Default");
    return d;
}

TEST(SettingsFile, XmlPropertyListRoundTripKeepsTypes) {
    SettingsDictionary d = sample();
    std::string xml = settings_plist_xml(d);
    EXPECT_NE(xml.find("<plist"), std::string::npos);
    auto back = getDictionarySettingsFromXMLData(xml);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->same_contents(d));
}

TEST(SettingsFile, BinaryPropertyListRoundTripKeepsTypes) {
    SettingsDictionary d = sample();
    std::string bin = settings_plist_binary(d);
    ASSERT_EQ(bin.substr(0, 6), "bplist");
    auto back = getDictionarySettingsFromXMLData(bin);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->same_contents(d));
}

TEST(SettingsFile, NonDictionaryOrTextIsNoPropertyList) {
    EXPECT_FALSE(getDictionarySettingsFromXMLData("exposure 1\n"));
    EXPECT_FALSE(getDictionarySettingsFromXMLData(""));
    EXPECT_FALSE(getDictionarySettingsFromXMLData(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>"));
    EXPECT_FALSE(getDictionarySettingsFromXMLData("<plist><dict><key>a</key>"));
}

TEST(SettingsFile, ReadsTextOrPropertyListFiles) {
    test::TempDir dir;
    std::string text_path = (dir / "a.dvks").string();
    std::string plist_path = (dir / "b.dvks").string();
    std::string bin_path = (dir / "c.dvks").string();
    SettingsDictionary d = sample();
    ASSERT_TRUE(write_file_atomically(text_path, settings_text_from_dictionary(d)));
    ASSERT_TRUE(write_file_atomically(plist_path, settings_plist_xml(d)));
    ASSERT_TRUE(write_file_atomically(bin_path, settings_plist_binary(d)));

    auto t = read_settings_file(text_path);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->size(), d.size());
    for (const auto& [k, v] : d) EXPECT_EQ(t->get(k).description(), v.description()) << k;
    auto p = read_settings_file(plist_path);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->same_contents(d));
    auto b = read_settings_file(bin_path);
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->same_contents(d));
    EXPECT_FALSE(read_settings_file((dir / "missing.dvks").string()));
}

TEST(SettingsFile, AtomicWriteReplacesAndLeavesNoTemporary) {
    test::TempDir dir;
    std::string path = (dir / "x.dvks").string();
    ASSERT_TRUE(write_file_atomically(path, "first\n"));
    ASSERT_TRUE(write_file_atomically(path, "second\n"));
    EXPECT_EQ(*read_file_bytes(path), "second\n");
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_FALSE(write_file_atomically((dir / "no/such/folder/x").string(), "x"));
    EXPECT_FALSE(write_file_atomically("", "x"));
}

// Switches the process to a decimal-comma locale for one test, building it
// with localedef when the system has none installed.
class CommaLocale {
public:
    CommaLocale() {
        old_ = setlocale(LC_ALL, nullptr);
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
            if (setlocale(LC_ALL, name)) {
                ok_ = true;
                return;
            }
        }
        std::string cmd = "localedef -i de_DE -f UTF-8 '" + (dir_ / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) return;
        const char* old_path = std::getenv("LOCPATH");
        if (old_path) old_locpath_ = old_path;
        had_locpath_ = old_path != nullptr;
        setenv("LOCPATH", dir_.path().c_str(), 1);
        ok_ = setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        // The locale stays loaded; LOCPATH is only needed to find it (and
        // while set, glibc keeps a copy of it for every newlocale call).
        restore_locpath();
    }
    void restore_locpath() {
        if (had_locpath_) setenv("LOCPATH", old_locpath_.c_str(), 1);
        else unsetenv("LOCPATH");
    }
    ~CommaLocale() {
        setlocale(LC_ALL, old_.c_str());
    }
    bool ok() const { return ok_; }

private:
    test::TempDir dir_;
    std::string old_;
    std::string old_locpath_;
    bool had_locpath_ = false;
    bool ok_ = false;
};

TEST(SettingsFile, NumbersIgnoreADecimalCommaLocale) {
    CommaLocale comma;
    if (!comma.ok()) GTEST_SKIP() << "no decimal-comma locale available";
    char buf[16];
    snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5");  // the locale really is in force

    SettingsDictionary d = sample();
    std::string text = settings_text_from_dictionary(d);
    EXPECT_NE(text.find("exposure 0.1\n"), std::string::npos);
    EXPECT_EQ(getDictionarySettingsFromString(text).get("exposure").double_value(), 0.1);

    auto back = getDictionarySettingsFromXMLData(settings_plist_xml(d));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->same_contents(d));

    // Through a processor: export, import and the preset file.
    test::TempDir dir;
    RawProcessor a;
    a.setExposure(-1.5);
    a.setGamma(1.8);
    a.setBrightness(47.25);
    ASSERT_TRUE(a.exportSettingsToFile((dir / "loc").string(), false));
    const std::string text_file = *read_file_bytes((dir / "loc.dvks").string());
    EXPECT_NE(text_file.find("exposure -1.5\n"), std::string::npos) << text_file;
    EXPECT_NE(text_file.find("gamma 1.8\n"), std::string::npos);
    RawProcessor b;
    ASSERT_TRUE(b.importSettingsFromFile((dir / "loc.dvks").string()));
    EXPECT_EQ(b.exposure(), -1.5);
    EXPECT_EQ(b.gamma(), 1.8);
    EXPECT_EQ(b.brightness(), 47.25);

    WhiteBalancePresetList presets{WhiteBalancePresets::initWithCamera("Cam", "P", 0.5f, -0.25f, 1.75f, 0.125f)};
    auto wb = unarchive_wb_presets(archive_wb_presets(presets));
    ASSERT_TRUE(wb);
    EXPECT_EQ(*wb, presets);
}

}  // namespace
}  // namespace dvk
