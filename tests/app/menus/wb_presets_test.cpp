#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "app/menus/wb_preset_menu.h"
#include "app/menus/wb_preset_table.h"
#include "app/menus/wb_preset_window.h"
#include "pipeline/processor/raw_processor.h"
#include "tests/app/menus/menus_fakes.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

std::vector<std::string> names(const WhiteBalancePresetList& presets) {
    std::vector<std::string> out;
    for (const auto& p : presets) out.push_back(p.presetName);
    return out;
}

using Names = std::vector<std::string>;

// The vendor part of the pop-up for a camera of the built-in table.
MenuItems builtin_part(const std::string& camera) {
    MenuItems items{MenuItem::separator(), MenuItem::header(camera)};
    int tag = 5000;
    for (const BuiltinWbPresetRow& row : builtinWbPresetsFor(camera)) items.push_back(MenuItem::choice(row.name, tag++));
    return items;
}

TEST(WbVendorPresets, BuiltinTableModelsRowsAndEvs) {
    // The table's cameras in order; those the data source has no presets for
    // have no rows.
    const Names all = {
        "Nikon 1 AW1", "Nikon 1 J1", "Nikon 1 J2", "Nikon 1 J3", "Nikon 1 S1", "Nikon 1 V1", "Nikon 1 V2",
        "Nikon COOLPIX A", "Nikon COOLPIX P330", "Nikon COOLPIX P340", "Nikon COOLPIX P6000", "Nikon COOLPIX P7000",
        "Nikon COOLPIX P7100", "Nikon COOLPIX P7700", "Nikon COOLPIX P7800", "Nikon D1", "Nikon D100", "Nikon D1H",
        "Nikon D1X", "Nikon D200", "Nikon D2H", "Nikon D2HS", "Nikon D2X", "Nikon D2XS", "Nikon D3", "Nikon D300",
        "Nikon D3000", "Nikon D300S", "Nikon D3100", "Nikon D3200", "Nikon D3300", "Nikon D3S", "Nikon D3X",
        "Nikon D4", "Nikon D40", "Nikon D40X", "Nikon D4S", "Nikon D50", "Nikon D5000", "Nikon D5100", "Nikon D5200",
        "Nikon D5300", "Nikon D60", "Nikon D600", "Nikon D610", "Nikon D70", "Nikon D700", "Nikon D750",
        "Nikon D7000", "Nikon D70S", "Nikon D7100", "Nikon D80", "Nikon D800", "Nikon D800E", "Nikon D90",
        "Nikon DF", "Nikon E5400", "Nikon E5700", "Nikon E8800", "Nikon Z 7"};
    const Names lacking = {"Nikon 1 J2",  "Nikon 1 S1",  "Nikon COOLPIX P6000", "Nikon COOLPIX P7000",
                           "Nikon COOLPIX P7700", "Nikon COOLPIX P7800", "Nikon D2H", "Nikon D2HS",
                           "Nikon D2XS", "Nikon DF", "Nikon E5700", "Nikon E8800"};
    Names expected;
    for (const std::string& c : all)
        if (std::find(lacking.begin(), lacking.end(), c) == lacking.end()) expected.push_back(c);
    Names cameras;
    std::size_t rows = 0;
    for (std::string_view c : builtinWbPresetCameras()) {
        cameras.emplace_back(c);
        const std::vector<BuiltinWbPresetRow> of_camera = builtinWbPresetsFor(c);
        EXPECT_FALSE(of_camera.empty()) << c;
        for (const BuiltinWbPresetRow& row : of_camera) {
            EXPECT_TRUE(row.red > 0 && row.blue > 0 && row.green == 1.0f && row.green2 == 1.0f) << c << row.name;
            EXPECT_EQ(row.camera, c);
        }
        rows += of_camera.size();
    }
    EXPECT_EQ(cameras, expected);
    EXPECT_EQ(rows, builtinWbPresetRowCount());

    // The first row, exactly; a fine-tuned row names its step.
    const BuiltinWbPresetRow first = builtinWbPresetsFor("Nikon 1 AW1").at(0);
    EXPECT_EQ(first.name, "Direct Sunlight, 5200K");
    EXPECT_EQ(first.red, 2.24164f);
    EXPECT_EQ(first.blue, 1.61545f);
    const std::vector<BuiltinWbPresetRow> d700 = builtinWbPresetsFor("Nikon D700");
    ASSERT_GE(d700.size(), 3u);
    EXPECT_EQ(d700[0].name, "Direct Sunlight, 5200K, -6");
    EXPECT_EQ(d700[0].red, 1.980469f);
    EXPECT_EQ(d700[1].name, "Direct Sunlight, 5200K");
    EXPECT_EQ(d700[2].name, "Direct Sunlight, 5200K, +6");

    const WhiteBalancePresetList presets = vendorPresetsFromBuiltinTable("Nikon 1 AW1");
    ASSERT_EQ(presets.size(), 7u);
    EXPECT_EQ(presets[0].camera, "Nikon 1 AW1");
    EXPECT_EQ(presets[0].presetName, "Direct Sunlight, 5200K");
    EXPECT_NEAR(presets[0].red, 1.16455f, 5e-6f);
    EXPECT_EQ(presets[0].green, 0.0f);
    EXPECT_NEAR(presets[0].blue, 0.69194f, 5e-6f);
    EXPECT_EQ(presets[0].green2, 0.0f);
    // Single precision all the way.
    EXPECT_EQ(presets[0].red, std::log2(2.24164f / 1.0f));
    // The decoder's spelling of a model ("D70s") finds the table's ("D70S"),
    // and the preset carries the processor's camera text.
    const WhiteBalancePresetList d70s = vendorPresetsFromBuiltinTable("Nikon D70s");
    ASSERT_FALSE(d70s.empty());
    EXPECT_EQ(d70s[0].camera, "Nikon D70s");
    EXPECT_TRUE(vendorPresetsFromBuiltinTable("Nikon 1 AW").empty());
    EXPECT_TRUE(vendorPresetsFromBuiltinTable("Nikon DF").empty());
}

TEST(WbVendorPresets, LibRawTableByIndexNameRefusingUnusableEntries) {
    static LibRawWbCoeffs coeffs;
    std::memset(coeffs, 0, sizeof coeffs);
    const int daylight[4] = {2048, 1024, 1536, 1024};
    std::memcpy(coeffs[1], daylight, sizeof daylight);
    const int cloudy[4] = {2200, 1000, 1300, 0};  // no second green: it is G
    std::memcpy(coeffs[10], cloudy, sizeof cloudy);
    const int zero_g[4] = {2000, 0, 1500, 1000};
    std::memcpy(coeffs[11], zero_g, sizeof zero_g);
    const int negative[4] = {-5, 1000, 1500, 1000};
    std::memcpy(coeffs[21], negative, sizeof negative);
    const int custom[4] = {1000, 1000, 1000, 1010};
    std::memcpy(coeffs[90], custom, sizeof custom);
    coeffs[200][0] = 7;  // not all zero, but no G: refused
    const WhiteBalancePresetList p = vendorPresetsFromLibRaw("Cam X", coeffs);
    EXPECT_EQ(names(p), (Names{"Daylight", "Cloudy", "Custom1"}));
    EXPECT_EQ(p[0].red, 1.0f);
    EXPECT_EQ(p[0].blue, std::log2(1.5f));
    EXPECT_EQ(p[1].green2, 0.0f);
    EXPECT_EQ(p[2].green2, std::log2(1010.0f / 1000.0f));
    for (const auto& preset : p) {
        EXPECT_EQ(preset.camera, "Cam X");
        EXPECT_TRUE(std::isfinite(preset.red) && std::isfinite(preset.blue) && std::isfinite(preset.green2));
    }
    EXPECT_STREQ(vendorWbPresetName(24), "ISO Studio Tungsten");
    EXPECT_STREQ(vendorWbPresetName(7), "Reserved");
    EXPECT_STREQ(vendorWbPresetName(110), "Measured");
    EXPECT_STREQ(vendorWbPresetName(255), "Other");
    EXPECT_STREQ(vendorWbPresetName(25), "Unknown");
    EXPECT_STREQ(vendorWbPresetName(84), "Unknown");
}

TEST(WbVendorPresets, ExiftoolLineKinds) {
    const std::string info =
        "Make: Canon\n"
        "WB_RGGBLevelsAsShot: 2048 1024 1024 1536\n"
        "WB_RGGBLevelsDaylight: 2000 1000 1000 1500\n"
        "WB_RGGBLevels: 1 1 1 1\n"  // no name: skipped
        "WB_RGBLevelsTungsten: 1000 1000 2000\n";
    WhiteBalancePresetList p = vendorPresetsFromCameraInfo("Canon X", info);
    // One RGB line keeps the RGGB presets (and adds its own).
    ASSERT_EQ(names(p), (Names{"AsShot", "Daylight", "Tungsten"}));
    EXPECT_EQ(p[0].red, 1.0f);
    EXPECT_EQ(p[0].blue, std::log2(1.5f));
    EXPECT_EQ(p[0].green2, 0.0f);
    EXPECT_EQ(p[2].blue, 1.0f);
    EXPECT_EQ(p[2].green2, 0.0f);

    // Two RGB lines replace them.
    p = vendorPresetsFromCameraInfo("Canon X", info + "WB_RGBLevelsShade: 3000 1000 1000\n");
    EXPECT_EQ(names(p), (Names{"Tungsten", "Shade"}));

    // RB lines: G and G2 256 when absent.
    p = vendorPresetsFromCameraInfo("Oly", "WB_RBLevels3000K: 512 1024\nWB_RBLevels6000K: 256 256 128 64\n"
                                           "WB_RBLevelsCloudy: 512 128 256\n");
    ASSERT_EQ(names(p), (Names{"3000K", "6000K", "Cloudy"}));
    EXPECT_EQ(p[0].red, 1.0f);
    EXPECT_EQ(p[0].blue, 2.0f);
    EXPECT_EQ(p[1].red, 1.0f);
    EXPECT_EQ(p[1].blue, 1.0f);
    EXPECT_EQ(p[1].green2, -1.0f);
    EXPECT_EQ(p[2].red, 1.0f);
    EXPECT_EQ(p[2].blue, -1.0f);
    EXPECT_EQ(p[2].green2, 0.0f);

    // Kelvin lines: 5205 is "Daylight", others "<K>K"; red and blue are log2 of fields 3 and 4.
    p = vendorPresetsFromCameraInfo("Pan", "KelvinWB_01: 5205 0 2 0.5\nKelvinWB_02: 6500 0 1 4\n");
    ASSERT_EQ(names(p), (Names{"Daylight", "6500K"}));
    EXPECT_EQ(p[0].red, 1.0f);
    EXPECT_EQ(p[0].blue, -1.0f);
    EXPECT_EQ(p[1].red, 0.0f);
    EXPECT_EQ(p[1].blue, 2.0f);
    EXPECT_EQ(p[1].green, 0.0f);
    EXPECT_EQ(p[1].green2, 0.0f);
}

TEST(WbVendorPresets, BadLinesOfEveryKindAreRefused) {
    const std::string info =
        // zero, negative, non-numeric and missing multipliers
        "WB_RGGBLevelsA: 2000 0 1000 1500\n"
        "WB_RGGBLevelsB: 2000 1000 -1 1500\n"
        "WB_RGGBLevelsC: 2000 1000 1000\n"
        "WB_RGGBLevelsD: 2000 abc 1000 1500\n"
        "WB_RGGBLevelsE: nan 1000 1000 1500\n"
        "WB_RGBLevelsF: 0 1000 1000\n"
        "WB_RGBLevelsG: 1000 1000\n"
        "WB_RBLevelsH: 1000\n"
        "WB_RBLevelsI: 1000 0\n"
        "WB_RBLevelsJ: 1000 1000 0 0\n"
        "KelvinWB_K: 5000 0 0 1\n"
        "KelvinWB_L: 5000 0 1\n"
        "KelvinWB_M: warm 0 1 1\n"
        "KelvinWB_N: 5000 0 inf 1\n"
        // the pattern in a value, not in the tag name
        "Comment: WB_RGGBLevels 1 2 3 4\n"
        "UserComment: KelvinWB: 1 2 3\n"
        // no colon after the tag name
        "WB_RGGBLevelsP 1000 1000 1000 1000\n"
        // the one good line, of the last kind (each earlier kind has two or
        // more lines, so each empties what came before it)
        "KelvinWB_Good: 6000 0 1 1\n";
    const WhiteBalancePresetList p = vendorPresetsFromCameraInfo("Cam", info);
    EXPECT_EQ(names(p), Names{"6000K"});
    EXPECT_EQ(names(vendorPresetsFromCameraInfo("Cam", "WB_RGGBLevelsA: 2000 0 1000 1500\n"
                                                       "WB_RGGBLevelsB: 2000 1000 0 1500\n")),
              Names{"B"});  // a zero second green is the first
    for (const char* line : {"", "\n\n", "WB_RGGBLevels:", ":", "KelvinWB:"})
        EXPECT_TRUE(vendorPresetsFromCameraInfo("Cam", line).empty()) << line;
}

TEST(WbPresetMenu, ItemsAndTheSourceOfVendorPresets) {
    const WhiteBalancePresetList user{
        WhiteBalancePresets::initWithCamera("Nikon 1 AW1", "Beach", 1, 0, 0.5f, 0),
        WhiteBalancePresets::initWithCamera("Other", "Snow", 0, 0, 0, 0),
        WhiteBalancePresets::initWithCamera("Nikon 1 AW1", "Lamp", -1, 0, 1, 0),
    };
    const std::string info = "WB_RGGBLevelsAuto: 2000 1000 1000 1500\nWB_RGGBLevelsFlash: 2000 1000 1000 1500\n";
    static LibRawWbCoeffs coeffs;
    std::memset(coeffs, 0, sizeof coeffs);

    // Built-in table before the exiftool text.
    WbPresetMenu m = wbPresetMenuContents("Nikon 1 AW1", user, &coeffs, info);
    EXPECT_EQ(m.source, VendorWbSource::BuiltinTable);
    MenuItems expected{
        MenuItem::separator(),
        MenuItem::header("User Defined"),
        MenuItem::choice("Beach", 1000),
        MenuItem::choice("Lamp", 1002),
    };
    for (const MenuItem& item : builtin_part("Nikon 1 AW1")) expected.push_back(item);
    ASSERT_EQ(expected.size(), 4u + 2u + 7u);
    EXPECT_EQ(m.items, expected);

    // A decoder table wins over both.
    coeffs[3][0] = 1000, coeffs[3][1] = 1000, coeffs[3][2] = 3000, coeffs[3][3] = 1000;
    m = wbPresetMenuContents("Nikon 1 AW1", user, &coeffs, info);
    EXPECT_EQ(m.source, VendorWbSource::LibRaw);
    EXPECT_EQ(names(m.vendorPresets), Names{"Tungsten"});

    // Else the exiftool text; no user presets of this camera: no user part.
    m = wbPresetMenuContents("Canon X", user, nullptr, info);
    EXPECT_EQ(m.source, VendorWbSource::CameraInfo);
    EXPECT_EQ(m.items, (MenuItems{MenuItem::separator(), MenuItem::header("Canon X"), MenuItem::choice("Auto", 5000),
                                  MenuItem::choice("Flash", 5001)}));

    m = wbPresetMenuContents("Canon X", {}, nullptr, "");
    EXPECT_EQ(m.source, VendorWbSource::None);
    EXPECT_TRUE(m.items.empty());
}

class WbPresetWindow : public ::testing::Test {
protected:
    void SetUp() override {
        p.wbPresets().clear();
        p.setCamera("Nikon 1 AW1");
        p.setEvRed(0.5);
        p.setEvGreen(0);
        p.setEvBlue(-0.25);
        p.setEvGreen2(0.125);
    }
    RawProcessor p;
    test::FakeWbButtonView view;
    test::TempDir dir;
    std::vector<std::string> alerts;
    int answer = 1000;
    std::vector<std::string> windows;
    WbPresetWindowRoad road{p,
                            view,
                            wbPresetsFile(dir.path().string()),
                            [] { return std::string(); },
                            [this](const std::string&, const std::string& text, const std::vector<std::string>&) {
                                alerts.push_back(text);
                                return answer;
                            },
                            [this](const std::string& title) { windows.push_back(title); }};
};

TEST_F(WbPresetWindow, CreateRefuseDuplicateDeleteWithTheFileReadBack) {
    showCreateWBPresetWindow(road, 100);
    EXPECT_EQ(windows, std::vector<std::string>{"Create WB Preset"});
    EXPECT_EQ(closeCreateWBPresetWindow(road, "Cancel", "Daylight"), WbPresetWindowAnswer::Close);
    EXPECT_TRUE(p.wbPresets().empty());

    p.wbPresets().push_back(WhiteBalancePresets::initWithCamera("Canon X", "Daylight", 1, 0, 1, 0));
    // "Daylight" of another camera already exists: refused, the window stays open.
    EXPECT_EQ(closeCreateWBPresetWindow(road, "Ok", "Daylight"), WbPresetWindowAnswer::StayOpen);
    EXPECT_EQ(alerts.back(), "Preset with name \"Daylight\" already exists");
    EXPECT_EQ(p.wbPresets().size(), 1u);
    EXPECT_EQ(closeCreateWBPresetWindow(road, "Ok", " "), WbPresetWindowAnswer::StayOpen);

    EXPECT_EQ(closeCreateWBPresetWindow(road, "Ok", "Beach"), WbPresetWindowAnswer::Close);
    ASSERT_EQ(p.wbPresets().size(), 2u);
    EXPECT_EQ(p.wbPresets()[1], WhiteBalancePresets::initWithCamera("Nikon 1 AW1", "Beach", 0.5f, 0, -0.25f, 0.125f));
    EXPECT_EQ(view.selected, 1001);
    MenuItems expected{MenuItem::separator(), MenuItem::header("User Defined"), MenuItem::choice("Beach", 1001)};
    for (const MenuItem& item : builtin_part("Nikon 1 AW1")) expected.push_back(item);
    EXPECT_EQ(view.items, expected);
    std::optional<WhiteBalancePresetList> file = read_wb_presets_file(road.presetsFile);
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, p.wbPresets());

    // Delete the selected one: asked first; "No" keeps it.
    p.setUseCameraWB(1001);
    answer = 1000;
    showCreateWBPresetWindow(road, 101);
    EXPECT_EQ(alerts.back(), "Do you really want to delete preset \"Beach\" for camera \"Nikon 1 AW1\"?");
    EXPECT_EQ(p.wbPresets().size(), 2u);
    answer = 1001;
    showCreateWBPresetWindow(road, 101);
    EXPECT_EQ(names(p.wbPresets()), Names{"Daylight"});
    EXPECT_EQ(p.useCameraWB(), 0);  // the deleted preset is no longer the mode; its EVs stay
    EXPECT_EQ(p.evRed(), 0.5);
    file = read_wb_presets_file(road.presetsFile);
    ASSERT_TRUE(file);
    EXPECT_EQ(names(*file), Names{"Daylight"});
    EXPECT_EQ(view.items, builtin_part("Nikon 1 AW1"));  // only the vendor part is left

    // A selected tag that names no user preset deletes nothing.
    const std::size_t asked = alerts.size();
    for (int tag : {1005, 999, 5000, 3}) {
        view.selected = tag;
        showCreateWBPresetWindow(road, 101);
    }
    EXPECT_EQ(alerts.size(), asked);
    EXPECT_EQ(p.wbPresets().size(), 1u);
}

TEST_F(WbPresetWindow, NothingWithoutACameraAndLaterModesFollowADeletion) {
    p.setCamera("");
    showCreateWBPresetWindow(road, 100);
    EXPECT_TRUE(windows.empty());
    p.setCamera("Cam");
    for (const char* name : {"A", "B", "C"})
        p.wbPresets().push_back(WhiteBalancePresets::initWithCamera("Cam", name, 1, 0, 0, 0));
    p.setUseCameraWB(1002);
    removeUserWbPreset(p, 0);
    EXPECT_EQ(p.useCameraWB(), 1001);
    EXPECT_EQ(p.wbPresets()[1].presetName, "C");
    EXPECT_EQ(userWbPresetIndexForTag(1001, 2), std::optional<std::size_t>(1));
    EXPECT_FALSE(userWbPresetIndexForTag(1002, 2));
}

}  // namespace
}  // namespace dvk
