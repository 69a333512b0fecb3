#include <gtest/gtest.h>

#include <plist/plist.h>

#include <cmath>

#include "pipeline/settings/plist_node.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/settings/white_balance_presets.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

WhiteBalancePresetList sample_presets() {
    return {
        WhiteBalancePresets::initWithCamera("Canon EOS 5D", "Daylight", 1.0f / 3.0f, 0.0f, -0.7f, 0.01f),
        WhiteBalancePresets::initWithCamera("Canon EOS 5D", "Tungsten", -1.25f, 0.0f, 1.5f, -0.003f),
        WhiteBalancePresets(),  // empty strings, zero EVs
        WhiteBalancePresets::initWithCamera("", "Empty camera", 1e-7f, -3.4e38f, 7.0f, 0.1f),
        WhiteBalancePresets::initWithCamera("Nikon D850", "Daylight", 0.5f, 0.25f, 0.125f, 0.0625f),
    };
}

TEST(WhiteBalancePresets, EmptyPresetHasEmptyStringsAndZeroEVs) {
    WhiteBalancePresets p;
    EXPECT_EQ(p.camera, "");
    EXPECT_EQ(p.presetName, "");
    EXPECT_EQ(p.red, 0.0f);
    EXPECT_EQ(p.green2, 0.0f);
    WhiteBalancePresets q = WhiteBalancePresets::initWithCamera("C", "N", 1, 2, 3, 4);
    EXPECT_EQ(q.camera, "C");
    EXPECT_EQ(q.presetName, "N");
    EXPECT_EQ(q.blue, 3.0f);
    EXPECT_EQ(q.green2, 4.0f);
}

TEST(WhiteBalancePresets, FileRoundTripKeepsEveryPresetInOrder) {
    test::TempDir dir;
    std::string path = (dir / "WBPresets.xml").string();
    WhiteBalancePresetList presets = sample_presets();
    ASSERT_TRUE(write_wb_presets_file(path, presets));
    auto back = read_wb_presets_file(path);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), presets.size());
    for (std::size_t i = 0; i < presets.size(); ++i) {
        EXPECT_EQ((*back)[i].camera, presets[i].camera) << i;
        EXPECT_EQ((*back)[i].presetName, presets[i].presetName) << i;
        // Exact float equality: the archive keeps every bit.
        EXPECT_EQ((*back)[i].red, presets[i].red) << i;
        EXPECT_EQ((*back)[i].green, presets[i].green) << i;
        EXPECT_EQ((*back)[i].blue, presets[i].blue) << i;
        EXPECT_EQ((*back)[i].green2, presets[i].green2) << i;
    }
}

TEST(WhiteBalancePresets, EmptyListRoundTrips) {
    auto back = unarchive_wb_presets(archive_wb_presets({}));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->empty());
}

// The archive is a standard keyed archive: checked by walking the property
// list by hand, independently of the reader.
TEST(WhiteBalancePresets, ArchiveHasKeyedArchiveStructure) {
    WhiteBalancePresetList presets{WhiteBalancePresets::initWithCamera("Cam A", "Shade", 0.5f, 0, -1, 0.25f)};
    std::string xml = archive_wb_presets(presets);
    EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
    EXPECT_NE(xml.find("<key>CF$UID</key>"), std::string::npos);
    PlistPtr root = plist_parse(xml);
    ASSERT_TRUE(root);
    bool ok = false;
    EXPECT_EQ(plist_string(plist_dict_get_item(root.get(), "$archiver"), &ok), "NSKeyedArchiver");
    uint64_t version = 0;
    plist_get_uint_val(plist_dict_get_item(root.get(), "$version"), &version);
    EXPECT_EQ(version, 100000u);
    plist_t objects = plist_dict_get_item(root.get(), "$objects");
    ASSERT_EQ(plist_get_node_type(objects), PLIST_ARRAY);
    EXPECT_EQ(plist_string(plist_array_get_item(objects, 0), &ok), "$null");

    auto uid = [](plist_t ref) {
        uint64_t u = 0;
        plist_get_uint_val(plist_dict_get_item(ref, "CF$UID"), &u);
        return static_cast<uint32_t>(u);
    };
    plist_t top = plist_dict_get_item(root.get(), "$top");
    plist_t array = plist_array_get_item(objects, uid(plist_dict_get_item(top, "wbPresets")));
    plist_t array_class = plist_array_get_item(objects, uid(plist_dict_get_item(array, "$class")));
    EXPECT_EQ(plist_string(plist_dict_get_item(array_class, "$classname"), &ok), "NSMutableArray");
    plist_t refs = plist_dict_get_item(array, "NS.objects");
    ASSERT_EQ(plist_array_get_size(refs), 1u);
    plist_t preset = plist_array_get_item(objects, uid(plist_array_get_item(refs, 0)));
    plist_t preset_class = plist_array_get_item(objects, uid(plist_dict_get_item(preset, "$class")));
    EXPECT_EQ(plist_string(plist_dict_get_item(preset_class, "$classname"), &ok), "WhiteBalancePresets");
    EXPECT_EQ(plist_string(plist_array_get_item(objects, uid(plist_dict_get_item(preset, "Camera"))), &ok), "Cam A");
    EXPECT_EQ(plist_string(plist_array_get_item(objects, uid(plist_dict_get_item(preset, "PresetName"))), &ok),
              "Shade");
    double v = 0;
    plist_get_real_val(plist_dict_get_item(preset, "evRed"), &v);
    EXPECT_EQ(v, 0.5);
    plist_get_real_val(plist_dict_get_item(preset, "evBlue"), &v);
    EXPECT_EQ(v, -1.0);
    plist_get_real_val(plist_dict_get_item(preset, "evGreen2"), &v);
    EXPECT_EQ(v, 0.25);
    ASSERT_NE(plist_dict_get_item(preset, "evGreen"), nullptr);
}

TEST(WhiteBalancePresets, ReadsBinaryArchivesWithUidNodes) {
    // Built by hand with real UID nodes, as a binary archive carries them.
    PlistPtr root(plist_new_dict());
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t array = plist_new_dict();
    plist_t refs = plist_new_array();
    plist_array_append_item(refs, plist_new_uid(2));
    plist_dict_set_item(array, "NS.objects", refs);
    plist_array_append_item(objects, array);
    plist_t preset = plist_new_dict();
    plist_dict_set_item(preset, "$class", plist_new_uid(4));
    plist_dict_set_item(preset, "Camera", plist_new_uid(3));
    plist_dict_set_item(preset, "PresetName", plist_new_uid(0));
    plist_dict_set_item(preset, "evRed", plist_new_real(0.75));
    plist_dict_set_item(preset, "evBlue", plist_new_uint(2));
    plist_array_append_item(objects, preset);
    plist_array_append_item(objects, plist_new_string("Sony"));
    plist_t cls = plist_new_dict();
    plist_dict_set_item(cls, "$classname", plist_new_string("WhiteBalancePresets"));
    plist_array_append_item(objects, cls);
    plist_dict_set_item(root.get(), "$objects", objects);
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "wbPresets", plist_new_uid(1));
    plist_dict_set_item(root.get(), "$top", top);
    auto back = unarchive_wb_presets(plist_binary_bytes(root.get()));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 1u);
    EXPECT_EQ((*back)[0].camera, "Sony");
    EXPECT_EQ((*back)[0].presetName, "");  // the null object
    EXPECT_EQ((*back)[0].red, 0.75f);
    EXPECT_EQ((*back)[0].green, 0.0f);  // missing float key decodes as 0
    EXPECT_EQ((*back)[0].blue, 2.0f);
}

TEST(WhiteBalancePresets, UnreadableDataIsRefused) {
    test::TempDir dir;
    EXPECT_FALSE(read_wb_presets_file((dir / "none.xml").string()));
    EXPECT_FALSE(unarchive_wb_presets("not a plist"));
    EXPECT_FALSE(unarchive_wb_presets(settings_plist_xml(SettingsDictionary())));
    // A reference beyond the object list.
    std::string xml = archive_wb_presets({WhiteBalancePresets()});
    std::string broken = xml;
    auto at = broken.find("<key>wbPresets</key>");
    ASSERT_NE(at, std::string::npos);
    auto num = broken.find("<integer>", at);
    broken.replace(num, std::string("<integer>1</integer>").size(), "<integer>99</integer>");
    EXPECT_FALSE(unarchive_wb_presets(broken));
}

}  // namespace
}  // namespace dvk
