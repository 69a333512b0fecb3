#include <gtest/gtest.h>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/processor/settings_argument.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/settings/settings_text.h"
#include "tests/settings/settings_helpers.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

TEST(SettingArgument, SetsAnyKeyByText) {
    RawProcessor p;
    EXPECT_FALSE(apply_setting_argument(p, "exposure=0.5"));
    EXPECT_EQ(p.exposure(), 0.5);
    EXPECT_FALSE(apply_setting_argument(p, "useCameraWB=3"));
    EXPECT_EQ(p.useCameraWB(), 3);
    EXPECT_FALSE(apply_setting_argument(p, "destinationFile=/out/a=b c/"));
    EXPECT_EQ(p.destinationFile(), "/out/a=b c/");
    EXPECT_FALSE(apply_setting_argument(p, "customRawProfile=Canon 550D"));
    EXPECT_EQ(p.valueForKey("customRawProfile"), SettingsValue("Canon 550D"));
    EXPECT_FALSE(apply_setting_argument(p, "customRawProfile=Default"));
    EXPECT_TRUE(p.valueForKey("customRawProfile").is_null());
    EXPECT_FALSE(apply_setting_argument(p, "rotation=13"));
    EXPECT_EQ(p.rotation(), 13);
}

TEST(SettingArgument, ErrorsNameTheProblem) {
    RawProcessor p;
    auto e = apply_setting_argument(p, "exposur=1");
    ASSERT_TRUE(e);
    EXPECT_NE(e->find("exposur"), std::string::npos);
    EXPECT_TRUE(apply_setting_argument(p, "exposure"));
    EXPECT_TRUE(apply_setting_argument(p, "=1"));
    EXPECT_TRUE(apply_setting_argument(p, "gamma=inf"));
    EXPECT_TRUE(apply_setting_argument(p, "gamma=bright"));
    EXPECT_TRUE(apply_setting_argument(p, "gamma=1.8x"));
    EXPECT_TRUE(apply_setting_argument(p, "gamma="));
    EXPECT_EQ(p.gamma(), 2.2);
    EXPECT_FALSE(apply_setting_argument(p, "gamma= 1.8 "));
    EXPECT_EQ(p.gamma(), 1.8);
    EXPECT_FALSE(apply_setting_argument(p, "filterName=Lightness (Lab)"));
    EXPECT_EQ(p.bwMode(), 6);
}

TEST(SettingArgument, SettingsFilesOfEitherForm) {
    test::TempDir dir;
    ASSERT_TRUE(write_file_atomically((dir / "a.dvks").string(), "contrast 12\nuseCameraWB 0\nevRed 0.4\n"));
    SettingsDictionary d;
    d.set("brightness", 60.0);
    ASSERT_TRUE(write_file_atomically((dir / "b.plist").string(), settings_plist_xml(d)));
    RawProcessor p;
    EXPECT_FALSE(apply_settings_file(p, (dir / "a").string()));
    EXPECT_EQ(p.contrast(), 12.0);
    EXPECT_EQ(p.evRed(), 0.4);
    EXPECT_FALSE(apply_settings_file(p, (dir / "b.plist").string()));
    EXPECT_EQ(p.brightness(), 60.0);
    EXPECT_TRUE(apply_settings_file(p, (dir / "none").string()));
    ASSERT_TRUE(write_file_atomically((dir / "bad.dvks").string(), "nonsense 1\n"));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(apply_settings_file(p, (dir / "bad.dvks").string()));
    testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace dvk
