#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

// Every processor test reads the defaults of a scratch folder: TiffYResolution
// 300, TiffXResolution absent (reads as 0, so 72 stays).
class DefaultsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        dir_ = std::make_unique<test::TempDir>();
        const std::string cfg = (dir_->path() / "cfg").string();
        setenv("XDG_CONFIG_HOME", cfg.c_str(), 1);
        UserDefaults d(defaultsFilePath());
        d.setDouble("TiffYResolution", 300);
        d.setDouble("TiffXResolution", 0);
        ASSERT_TRUE(d.synchronize());
        UserDefaults::standard().reload();
    }

private:
    std::unique_ptr<test::TempDir> dir_;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new DefaultsEnvironment);

TEST(RawProcessorInit, Defaults) {
    RawProcessor p;
    EXPECT_EQ(p.exposure(), 0);
    EXPECT_EQ(p.hlCompression(), 0);
    EXPECT_EQ(p.hlRange(), 2.0);
    EXPECT_EQ(p.blackShift(), 0);
    EXPECT_EQ(p.curveType(), 1);
    EXPECT_TRUE(p.isCurveTypeS());
    EXPECT_FALSE(p.isCurveTypeGamma());
    EXPECT_EQ(p.gamma(), 2.2);
    EXPECT_EQ(p.dvklib()->gamma, 2.2);
    EXPECT_EQ(p.interpolation(), 2);
    EXPECT_EQ(p.dvklib()->libraw->imgdata.params.four_color_rgb, 1);
    EXPECT_EQ(p.saveFormat(), 2);
    EXPECT_EQ(p.uplab(), 1);
    EXPECT_EQ(p.blurAB(), 1);
    EXPECT_EQ(p.brightness(), 50);
    EXPECT_EQ(p.valueZ(), 1.8);
    EXPECT_EQ(p.useCameraWB(), 1);
    EXPECT_EQ(p.manualGreen2(), 0);  // set to 1, then mode 1 brings it back to 0
    EXPECT_EQ(p.evRed(), 0);
    EXPECT_EQ(p.evGreen2(), 0);
    EXPECT_EQ(p.localContrastEnabled(), 1);
    EXPECT_EQ(p.sharpnessEnabled(), 1);
    EXPECT_EQ(p.noiseEnabled(), 1);
    EXPECT_EQ(p.cleanDotNoise(), 0);
    EXPECT_EQ(p.tiffXResolution(), 72.0f);   // a zero default keeps 72
    EXPECT_EQ(p.tiffYResolution(), 300.0f);  // a non-zero default wins
    EXPECT_EQ(p.raw(), 0);
    EXPECT_EQ(p.comprQuality(), -1);
    EXPECT_EQ(p.rotation(), 0);
    EXPECT_EQ(p.decompressionBlackPoint(), 0.0);
    EXPECT_EQ(p.decompressionWhitePoint(), 1.0);
    EXPECT_EQ(p.destinationFile(), "");
    EXPECT_FALSE(p.isFileNameDefined());
    EXPECT_EQ(p.image32(), nullptr);
    EXPECT_EQ(p.preview(), nullptr);
    EXPECT_EQ(p.cfa(), 0u);
    EXPECT_TRUE(p.isNotInProgress());
    EXPECT_FALSE(skip_rgb_compression);
}

TEST(RawProcessorSettings, CurveTypeSetsTheProcessWideFlag) {
    RawProcessor p;
    p.setCurveType(3);
    EXPECT_TRUE(skip_rgb_compression);
    EXPECT_TRUE(p.isCurveTypeGamma());
    p.setCurveType(0);
    EXPECT_FALSE(skip_rgb_compression);
    EXPECT_TRUE(p.isCurveTypeGamma());
}

TEST(RawProcessorSettings, SecondGreenFollowsTheFirst) {
    RawProcessor p;
    ASSERT_EQ(p.manualGreen2(), 0);
    p.setEvGreen(0.5);
    EXPECT_EQ(p.evGreen2(), 0.5 - p.greenDelta());
    p.setManualGreen2(1);
    p.setEvGreen(0.25);
    EXPECT_EQ(p.evGreen2(), 0.5);
}

TEST(RawProcessorSettings, WhiteBalanceModes) {
    RawProcessor p;
    p.dvklib()->auto_wb[0] = 2;
    p.dvklib()->auto_wb[1] = 1;
    p.dvklib()->auto_wb[2] = 0.5;
    p.dvklib()->auto_wb[3] = 1;
    p.setUseCameraWB(1);
    EXPECT_EQ(p.evRed(), 1.0);
    EXPECT_EQ(p.evBlue(), -1.0);
    EXPECT_EQ(p.evGreen(), 0.0);
    // As shot without multipliers: the automatic balance.
    p.setEvRed(0.7);
    p.setUseCameraWB(2);
    EXPECT_EQ(p.evRed(), 1.0);
    EXPECT_EQ(p.evBlue(), -1.0);
    EXPECT_EQ(p.manualGreen2(), 0);
    p.setEvRed(0.7);
    p.setUseCameraWB(0);  // manual keeps the values
    EXPECT_EQ(p.evRed(), 0.7);
    p.wbPresets().push_back({"Cam", "Shade", 0.3f, 0.0f, -0.2f, 0.1f});
    p.setUseCameraWB(1000);
    EXPECT_EQ(p.evRed(), static_cast<double>(0.3f));
    EXPECT_EQ(p.evBlue(), static_cast<double>(-0.2f));
    p.setUseCameraWB(1005);  // beyond the list: unchanged
    EXPECT_EQ(p.evRed(), static_cast<double>(0.3f));
    p.setUseCameraWB(3);
    EXPECT_EQ(p.evRed(), 0.0);
    EXPECT_EQ(p.manualGreen2(), 0);
}

TEST(RawProcessorSettings, EverySetterAnnouncesItselfNested) {
    RawProcessor p;
    std::vector<std::string> log;
    p.setChangeHook([&](RawProcessor&, const char* key, bool before) {
        log.push_back(std::string(before ? "+" : "-") + key);
    });
    p.setEvRed(0);  // same value: still announced
    EXPECT_EQ(log, (std::vector<std::string>{"+evRed", "-evRed"}));
    log.clear();
    p.setUseCameraWB(3);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log.front(), "+useCameraWB");
    EXPECT_EQ(log.back(), "-useCameraWB");
    EXPECT_EQ(log[1], "+evRed");
    log.clear();
    p.setProgress(50);
    EXPECT_EQ(log, (std::vector<std::string>{"+progress", "-progress", "+isNotInProgress", "-isNotInProgress"}));
}

TEST(RawProcessorSettings, InterpolationDecoderRule) {
    RawProcessor p;
    libraw_data_t& id = p.dvklib()->libraw->imgdata;
    p.setInterpolation(0);
    EXPECT_EQ(id.params.four_color_rgb, 0);
    p.setInterpolation(2);
    EXPECT_EQ(id.params.four_color_rgb, 1);
    p.setInterpolation(5);
    EXPECT_EQ(id.params.four_color_rgb, 1);  // unchanged
    id.idata.filters = 9;
    p.setInterpolation(0);
    EXPECT_EQ(p.interpolation(), 1);
    EXPECT_EQ(id.params.four_color_rgb, 0);
    p.setInterpolation(2);
    EXPECT_EQ(id.params.four_color_rgb, 1);
    p.setInterpolation(5);
    EXPECT_EQ(p.interpolation(), 5);
    EXPECT_EQ(id.params.four_color_rgb, 0);
    id.idata.filters = 0;
}

TEST(RawProcessorProgress, NotInProgressAtZeroAndAtOrAbove100) {
    RawProcessor p;
    EXPECT_TRUE(p.isNotInProgress());
    p.setProgress(40);
    EXPECT_FALSE(p.isNotInProgress());
    p.setProgress(100);
    EXPECT_TRUE(p.isNotInProgress());
    p.setProgress(120);
    EXPECT_TRUE(p.isNotInProgress());
}

TEST(RawProcessorProgress, IncrementsRunOnTheMainQueue) {
    markMainThread();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    RawProcessor p;
    p.incProgressBy(5);  // on the main thread: at once
    EXPECT_EQ(p.progress(), 5);
    std::thread worker([&] { p.incProgressBy(10); });
    worker.join();
    EXPECT_EQ(p.progress(), 5);
    queue.drain();
    EXPECT_EQ(p.progress(), 15);
    {
        RawProcessor gone;
        std::thread w2([&] { gone.incProgressBy(1); });
        w2.join();
    }
    EXPECT_EQ(queue.drain(), 1);  // the late update for a destroyed object does nothing
    setMainExecutor({});
}

TEST(RawProcessorFiles, DestinationAndFileName) {
    RawProcessor p;
    p.setFileName("/a/b.cr2");
    EXPECT_TRUE(p.isFileNameDefined());
    p.setDestinationFile("/out/");
    EXPECT_EQ(p.destinationFile(), "/out/");
    p.setCamera("Canon EOS");
    EXPECT_EQ(p.camera(), "Canon EOS");
}

}  // namespace
}  // namespace dvk
