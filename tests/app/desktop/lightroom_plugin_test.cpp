#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <plist/plist.h>
#include <string>
#include <vector>

#include "app/desktop/plugin_install.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"
#include "tools/dvk-lua-chunk/lua_chunk.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path kChunks4 = fs::path(DVK_BINARY_DIR) / "bin/resources/DVK_LR2.lrplugin";
const fs::path kChunks8 = fs::path(DVK_BINARY_DIR) / "generated/lightroom/DVK_LR2.lrplugin";

Bytes readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
std::string readText(const fs::path& p) {
    Bytes b = readBytes(p);
    return std::string(b.begin(), b.end());
}

struct ShownAlert {
    std::string title, text;
    std::vector<std::string> buttons;
    bool operator==(const ShownAlert&) const = default;
};
struct AlertLog {
    std::vector<ShownAlert> shown;
    AlertFunction function() {
        return [this](const std::string& t, const std::string& x, const std::vector<std::string>& b) {
            shown.push_back({t, x, b});
            return kAlertFirstButton;
        };
    }
};

TEST(LuaChunk, ShippedChunksHaveTheHostHeaderAndRepackToLuacOutput) {
    const Bytes header = {0x1b, 'L', 'u', 'a', 0x51, 0, 1, 4, 4, 4, 8, 0};
    for (const char* name : kLightroomPluginChunks) {
        SCOPED_TRACE(name);
        const Bytes shipped = readBytes(kChunks4 / name), luac = readBytes(kChunks8 / name);
        ASSERT_GT(shipped.size(), header.size());
        EXPECT_EQ(Bytes(shipped.begin(), shipped.begin() + 12), header);
        EXPECT_EQ(luac[8], 8);  // this machine's size_t
        std::string error;
        auto back = rewrite_lua_chunk_size_t(shipped, 8, &error);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(*back, luac);
        auto again = rewrite_lua_chunk_size_t(luac, 4, &error);
        ASSERT_TRUE(again) << error;
        EXPECT_EQ(*again, shipped);
    }
}

TEST(LuaChunk, RefusesWhatItCannotReadToTheEnd) {
    const Bytes luac = readBytes(kChunks8 / "Info.lua");
    std::string error;
    // Lua source is no chunk.
    const std::string source = "return {}";
    EXPECT_FALSE(rewrite_lua_chunk_size_t(Bytes(source.begin(), source.end()), 4, &error));
    EXPECT_EQ(error, "not a Lua 5.1 chunk");
    // Truncated by one byte, or one byte too long.
    EXPECT_FALSE(rewrite_lua_chunk_size_t(Bytes(luac.begin(), luac.end() - 1), 4, &error));
    Bytes longer = luac;
    longer.push_back(0);
    EXPECT_FALSE(rewrite_lua_chunk_size_t(longer, 4, &error));
    EXPECT_EQ(error, "1 bytes after the main function");
    // A big-endian header, a 4-byte number, an unknown width.
    Bytes big = luac;
    big[6] = 0;
    EXPECT_FALSE(rewrite_lua_chunk_size_t(big, 4, &error));
    Bytes narrow = luac;
    narrow[10] = 4;
    EXPECT_FALSE(rewrite_lua_chunk_size_t(narrow, 4, &error));
    EXPECT_FALSE(rewrite_lua_chunk_size_t(luac, 2, &error));
    // The main function's source string is empty (stripped): its length field
    // follows the header. A length past the end, one beyond 32 bits.
    Bytes past = luac;
    past[12 + 3] = 0x7f;
    EXPECT_FALSE(rewrite_lua_chunk_size_t(past, 4, &error));
    EXPECT_EQ(error, "string beyond the end of the chunk at byte 20");
    Bytes huge = luac;
    huge[12 + 7] = 0x7f;
    EXPECT_FALSE(rewrite_lua_chunk_size_t(huge, 4, &error));
    EXPECT_EQ(error, "string too long for a 4-byte size_t at byte 20");
}

TEST(LuaChunk, ChunksRunUnderLuaWithStubHostModules) {
    test::TempDir dir;
    const fs::path preset = dir / "preset.lua";
    std::ofstream(preset) << lightroomExportPresetText();
    const std::string stub = std::string(DVK_SOURCE_DIR) + "/tests/app/desktop/host_stub.lua";
    auto run = test::run_command("lua5.1 " + test::shell_quoted(stub) + " " + test::shell_quoted(kChunks8.string()) +
                                 " " + test::shell_quoted(preset.string()) + " 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string id = kLightroomToolkitIdentifier;
    const std::string expected =
        "info|2|2|" + id + "|Open in DVK|Open Raw in DVK|DVKOpenServiceProvider.lua|2|1|0|200001\n"
        "import|LrView\n"
        "import|LrPathUtils\nimport|LrFileUtils\nimport|LrErrors\nimport|LrDialogs\nimport|LrShell\n"
        "hide|exportLocation|fileNaming|fileSettings|imageSettings|outputSharpening|metadata\n"
        "formats|ORIGINAL\n"
        "colorspaces|nil\n"
        "read access\nread access ended\n"
        "open|/usr/bin/open|-b|org.dvk.DVK|/photos/a b.NEF|/photos/c.dng|/photos/a b.NEF\n"
        "read access\nread access ended\n"
        "message|DVK Plug-in|No files in raw format selected.|info\n"
        "preset|Open in DVK|Open in DVK|Export|" + id + "|Open in DVK|{{image_name}}|0\n";
    EXPECT_EQ(run.out, expected);
}

TEST(LightroomPreset, TextLayout) {
    const std::string text = lightroomExportPresetText();
    EXPECT_EQ(text.rfind("s = {\n    internalName = \"Open in DVK\",\n    title = \"Open in DVK\",\n", 0), 0u);
    EXPECT_NE(text.find("\n    version = 0,\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 5), "\n    ");
}

class PluginInstall : public ::testing::Test {
protected:
    test::TempDir dir;
    PluginInstallPaths paths{(dir / "data").string(), kChunks4.string(), (dir / "config/com.adobe.Lightroom2.plist").string()};
    fs::path plugin() const { return dir / "data/Adobe/Lightroom/Modules/DVK_LR2.lrplugin"; }
    fs::path preset() const { return dir / "data/Adobe/Lightroom/Export Presets/User Presets/Open in DVK.lrtemplate"; }
    std::vector<std::string> modulesEntries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(plugin().parent_path())) names.push_back(e.path().filename());
        return names;
    }
    void writeHostPreference(bool value) {
        fs::create_directories(dir / "config");
        plist_t d = plist_new_dict();
        plist_dict_set_item(d, "AgTemplateBrowser_storePresetsWithCatalog", plist_new_bool(value));
        char* bin = nullptr;
        uint32_t n = 0;
        plist_to_bin(d, &bin, &n);
        std::ofstream(paths.hostPreferenceFile, std::ios::binary).write(bin, n);
        plist_to_bin_free(bin);
        plist_free(d);
    }
};

TEST_F(PluginInstall, TwiceOverwritesWithoutComplaint) {
    for (int round = 0; round < 2; ++round) {
        AlertLog alerts;
        EXPECT_EQ(installLR2Plugin(paths, alerts.function()), PluginInstallResult::Installed);
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0], (ShownAlert{"Plugin Installation", "Plugin is successfully installed.", {"Ok"}}));
        for (const char* name : kLightroomPluginChunks) EXPECT_EQ(readBytes(plugin() / name), readBytes(kChunks4 / name));
        EXPECT_EQ(readText(preset()), lightroomExportPresetText());
        EXPECT_EQ(modulesEntries(), std::vector<std::string>{"DVK_LR2.lrplugin"});  // nothing left beside
        EXPECT_EQ(fs::status(plugin()).permissions() & fs::perms::all, fs::perms(0755));
    }
}

TEST_F(PluginInstall, HostStoringPresetsWithCatalogGetsTheNoteFirst) {
    writeHostPreference(true);
    EXPECT_TRUE(lightroomStoresPresetsWithCatalog(paths.hostPreferenceFile));
    AlertLog alerts;
    EXPECT_EQ(installLR2Plugin(paths, alerts.function()), PluginInstallResult::Installed);
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[0].title, "Export Preset Installation");
    EXPECT_EQ(alerts.shown[0].text.rfind("Since you are using Lightroom preference \"Store presets with catalog\"", 0), 0u);
    EXPECT_EQ(alerts.shown[0].buttons, std::vector<std::string>{"Ok"});
    EXPECT_EQ(alerts.shown[1].text, "Plugin is successfully installed.");

    writeHostPreference(false);
    EXPECT_FALSE(lightroomStoresPresetsWithCatalog(paths.hostPreferenceFile));
    std::ofstream(paths.hostPreferenceFile) << "<plist><dict><key>AgTemplateBrowser_storePresetsWithCatalog</key>"
                                               "<string>YES</string></dict></plist>";
    EXPECT_FALSE(lightroomStoresPresetsWithCatalog(paths.hostPreferenceFile));
    EXPECT_FALSE(lightroomStoresPresetsWithCatalog((dir / "missing.plist").string()));
}

TEST_F(PluginInstall, FailureAtTheThirdChunkLeavesTheEarlierInstallWhole) {
    // An earlier installation of other content.
    fs::create_directories(plugin());
    for (const char* name : kLightroomPluginChunks) std::ofstream(plugin() / name) << "earlier " << name;
    int writes = 0;
    auto failingThird = [&](const std::string& path, const std::string& bytes) {
        return ++writes != 3 && writeFileAtomically(path, bytes);
    };
    AlertLog alerts;
    EXPECT_EQ(installLR2Plugin(paths, alerts.function(), failingThird), PluginInstallResult::CannotWriteChunks);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0],
              (ShownAlert{"Plugin Installation", "Can't write to directory " + plugin().string(), {"Cancel"}}));
    for (const char* name : kLightroomPluginChunks) EXPECT_EQ(readText(plugin() / name), std::string("earlier ") + name);
    EXPECT_EQ(modulesEntries(), std::vector<std::string>{"DVK_LR2.lrplugin"});
    EXPECT_FALSE(fs::exists(preset()));
}

TEST_F(PluginInstall, FoldersThatCannotBeMade) {
    // The host folder is a file: no plug-in folder.
    fs::create_directories(dir / "data/Adobe");
    std::ofstream(dir / "data/Adobe/Lightroom") << "x";
    AlertLog alerts;
    EXPECT_EQ(installLR2Plugin(paths, alerts.function()), PluginInstallResult::CannotCreateFolder);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0], (ShownAlert{"Plugin Installation", "Can't create directory " + plugin().string() + ".", {"Cancel"}}));

    // The presets folder is a file: the plug-in stands, the preset fails.
    fs::remove(dir / "data/Adobe/Lightroom");
    fs::create_directories(dir / "data/Adobe/Lightroom");
    std::ofstream(dir / "data/Adobe/Lightroom/Export Presets") << "x";
    alerts.shown.clear();
    EXPECT_EQ(installLR2Plugin(paths, alerts.function()), PluginInstallResult::CannotWritePreset);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0], (ShownAlert{"Export Preset Installation",
                                      "Can't create export preset in " + (dir / "data").string() +
                                          "/Adobe/Lightroom/Export Presets/User Presets",
                                      {"Cancel"}}));
    EXPECT_EQ(readBytes(plugin() / "Info.lua"), readBytes(kChunks4 / "Info.lua"));

    // No support folder: nothing at all.
    alerts.shown.clear();
    EXPECT_EQ(installLR2Plugin({"", kChunks4.string(), ""}, alerts.function()), PluginInstallResult::NoSupportFolder);
    EXPECT_TRUE(alerts.shown.empty());
}

}  // namespace
}  // namespace dvk
