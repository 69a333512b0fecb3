// The custom controls' rules, the value transformers, Base64 and the crop marker.
#include <gtest/gtest.h>

#include "app/common/base64.h"
#include "app/window/control_rules.h"
#include "app/window/crop_marker.h"
#include "app/window/value_transformers.h"

namespace dvk {
namespace {

TEST(SliderRules, StepsSnapAndArrows) {
    EXPECT_DOUBLE_EQ(sliderStep(0, 0, 60), 0.5);    // r = 0.3
    EXPECT_DOUBLE_EQ(sliderStep(0, 0, 100), 1.0);   // r = 0.5
    EXPECT_DOUBLE_EQ(sliderStep(0, 0, 1000), 1.0);
    EXPECT_DOUBLE_EQ(sliderStep(25, 0, 1000), 0.25);
    EXPECT_DOUBLE_EQ(sliderStep(0, 0, 50), 1.0);
    EXPECT_DOUBLE_EQ(sliderStep(0, -10, 10), 0.1);
    EXPECT_DOUBLE_EQ(sliderStep(0, 0, 255), 1.275);
    EXPECT_DOUBLE_EQ(sliderStep(0, 0, 10), 0.05);   // r = 0.05
    EXPECT_DOUBLE_EQ(sliderStep(0, -5, 15), 0.1);   // r = 0.1
    // Range 0 to 60: a drag of less than 1.0 (two steps) changes nothing.
    EXPECT_DOUBLE_EQ(sliderDragValue(10, 10.9, 0.5), 10);
    EXPECT_DOUBLE_EQ(sliderDragValue(10, 11.3, 0.5), 11.5);
    EXPECT_DOUBLE_EQ(sliderDragValue(10, 8.7, 0.5), 8.5);
    EXPECT_DOUBLE_EQ(sliderArrowValue(10.3, 0.5, true), 11.0);
    EXPECT_DOUBLE_EQ(sliderArrowValue(10.3, 0.5, false), 10.0);
}

TEST(ScrollRules, GesturesAccumulateAndWheelsStepEveryTime) {
    ScrollAccumulator s;
    // A slow trackpad gesture: one step at its start, then one per 2.0.
    EXPECT_TRUE(s.step(0.3, kPhaseBegan));
    int steps = 0;
    for (int i = 0; i < 10; ++i) steps += s.step(0.5, kPhaseChanged);  // 5.0 in all
    EXPECT_EQ(steps, 2);
    EXPECT_DOUBLE_EQ(s.sum(), 1.0);
    EXPECT_TRUE(s.step(0.1, kPhaseMayBegin));
    // A classic wheel has no phase: every event steps.
    ScrollAccumulator wheel;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(wheel.step(0.1, kNoPhase));
    EXPECT_EQ(scrollDirection(1.0, true), -1.0);
    EXPECT_EQ(scrolledFieldValue(1.0f, 5, 1.0), 1.05f);
    EXPECT_EQ(scrolledFieldValue(1.0f, 5, -1.0), 0.95f);
    EXPECT_FALSE(scrolledFieldValue(1.0f, 5, 0.0));
}

TEST(ScrollRules, PopUpsSkipTheCommandItems) {
    const std::vector<PopUpItem> items = {{"Auto", true, 1}, {"Camera", true, 2}, {"", false, 0},
                                          {"Daylight", true, 5000}, {"New...", true, 3}, {"Delete", true, 4}};
    EXPECT_EQ(scrolledPopUpIndex(items, 1, -1), 3);  // over the separator
    EXPECT_FALSE(scrolledPopUpIndex(items, 3, -1));  // only "New..." and "Delete" follow
    EXPECT_EQ(scrolledPopUpIndex(items, 3, 1), 1);
    EXPECT_FALSE(scrolledPopUpIndex(items, 0, 1));
    EXPECT_FALSE(scrolledPopUpIndex(items, 1, 0));
}

TEST(FieldRules, ArrowAndPageKeysAndTheNumberFilter) {
    // "RBGGStep" 0.05 is a tag of 5.
    EXPECT_EQ(steppedFieldValue(5, 0.3f, FieldCommand::MoveUp), 0.3f + 0.05f);
    EXPECT_EQ(steppedFieldValue(5, 0.3f, FieldCommand::PageDown), 0.3f - 0.5f);
    EXPECT_EQ(steppedFieldValue(100, 2.0f, FieldCommand::PageUp), 12.0f);
    EXPECT_FALSE(steppedFieldValue(0, 1.0f, FieldCommand::MoveUp));
    for (const char* ok : {"", "-", "+", "1", "-1.", "1.25", ".5", "-1,5", "12", "1e", "1e-", "1E9", "-in", "Inf", "na"})
        EXPECT_TRUE(isPartialNumberValid(ok)) << ok;
    for (const char* bad : {"1.2.3", "1-2", "--", "1+", "a", "1,2.3", "1 ", "e", ".e", "1e5e", "1e5.", "infx", "1inf"})
        EXPECT_FALSE(isPartialNumberValid(bad)) << bad;
    EXPECT_EQ(typedFieldValue("-1,5"), -1.5);
    EXPECT_EQ(typedFieldValue("+.25"), 0.25);
    EXPECT_FALSE(typedFieldValue(""));
}

TEST(ValueTransformers, ForwardAndBack) {
    const ValueTransformer* last = valueTransformerForName("lastPathComponent");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->transformedValue(SettingsValue("/tmp/a/b.tif")), SettingsValue("b.tif"));
    EXPECT_EQ(last->transformedValue(SettingsValue("/tmp/a/")), SettingsValue("a"));
    EXPECT_EQ(last->transformedValue(SettingsValue("/")), SettingsValue("/"));
    EXPECT_EQ(last->transformedValue(SettingsValue(3)), SettingsValue(3));
    EXPECT_FALSE(last->allowsReverseTransformation());
    const ValueTransformer* i2d = valueTransformerForName("IntToDoubleTransformer");
    EXPECT_EQ(i2d->transformedValue(SettingsValue(1500)), SettingsValue(1.5));
    EXPECT_EQ(i2d->reverseTransformedValue(SettingsValue(1.2347)), SettingsValue(1235.0));
    const ValueTransformer* s2n = valueTransformerForName("StringToNumberTransformer");
    EXPECT_EQ(s2n->transformedValue(SettingsValue("2.5x")), SettingsValue(2.5));
    EXPECT_EQ(s2n->reverseTransformedValue(SettingsValue(2.5)), SettingsValue("2.5"));
    const ValueTransformer* gamma = valueTransformerForName("GammaFieldEnableTransformer");
    for (int v : {0, 3, 7}) EXPECT_EQ(gamma->transformedValue(SettingsValue(v)), SettingsValue(true)) << v;
    for (int v : {1, 2, 8}) EXPECT_EQ(gamma->transformedValue(SettingsValue(v)), SettingsValue(false)) << v;
    EXPECT_EQ(gamma->transformedValue(SettingsValue("3")), SettingsValue(false));
    EXPECT_EQ(valueTransformerForName("nope"), nullptr);
}

TEST(Base64, StandardAlphabetAndPadding) {
    EXPECT_FALSE(encodeBase64WithString(""));
    EXPECT_FALSE(encodeBase64WithData(nullptr, 3));
    const char* vectors[][2] = {{"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
                                {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (auto& v : vectors) EXPECT_EQ(encodeBase64WithString(v[0]), v[1]);
    const std::uint8_t high[] = {0xFB, 0xFF, 0xBF};
    EXPECT_EQ(encodeBase64WithData(high, 3), "+/+/");
    EXPECT_EQ(encodeBase64WithString("Acme\xc3\xa9"), "QWNtZcOp");
}

TEST(CropMarker, SelectingAndMoving) {
    CropMarker left, right;
    left.mouseDown({10, 10});
    left.mouseDragged({40, 30});
    left.mouseUp({50, 35});
    right.mouseDown({50, 35});
    right.mouseUp({10, 10});
    EXPECT_EQ(left.selectedRect(), (RectD{10, 10, 40, 25}));
    EXPECT_EQ(right.selectedRect(), left.selectedRect());
    EXPECT_EQ(left.trackingMode(), CropMarker::Idle);
    // A press inside moves the rectangle by the pointer's way.
    left.mouseDown({20, 20});
    EXPECT_EQ(left.trackingMode(), CropMarker::Moving);
    left.mouseDragged({25, 22});
    left.mouseUp({30, 24});
    EXPECT_EQ(left.selectedRect(), (RectD{20, 14, 40, 25}));
    EXPECT_EQ(left.fillColor().a, 0.2);
    EXPECT_EQ(left.strokeColor(), (Rgba{0, 0, 1, 1}));
}

}  // namespace
}  // namespace dvk
