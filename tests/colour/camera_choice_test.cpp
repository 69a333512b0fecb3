#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "colour/camera_profile.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"

namespace dvk {
namespace {

class CameraChoice : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dvklib_new(&d_)); }
    void TearDown() override { dvklib_delete(&d_); }

    const char* choose(const char* make, const char* model, float iso = 100, float rgb_cam00 = 1.0f,
                       unsigned dng = 0) {
        auto& img = d_.raw().imgdata;
        std::snprintf(img.idata.make, sizeof img.idata.make, "%s", make);
        std::snprintf(img.idata.model, sizeof img.idata.model, "%s", model);
        img.other.iso_speed = iso;
        img.color.rgb_cam[0][0] = rgb_cam00;
        img.rawdata.iparams.dng_version = dng;
        return camera_builtin_profile_name(&d_);
    }
    DVKLib d_;
};

TEST_F(CameraChoice, CanonRulesInOrder) {
    EXPECT_STREQ(choose("Canon", "EOS 400D DIGITAL"), "Canon 450D");
    EXPECT_STREQ(choose("Canon", "EOS 10D"), "Canon 10D");
    EXPECT_STREQ(choose("Canon", "EOS 5D"), "Canon 5D");
    EXPECT_STREQ(choose("Canon", "EOS 6D", 100), "Canon 7D 100");
    EXPECT_STREQ(choose("Canon", "EOS 7D", 6400), "Canon 7D 6400");
    EXPECT_STREQ(choose("Canon", "EOS 7D", 3200), "Canon 7D 3200");
    EXPECT_STREQ(choose("Canon", "EOS 7D", 25600), "Canon 7D 12800");
    EXPECT_STREQ(choose("Canon", "EOS 7D Mark II"), "Canon 5D Mark III");
    EXPECT_STREQ(choose("Canon", "EOS 5D Mark II"), "Canon 5D Mark II");
    EXPECT_STREQ(choose("Canon", "EOS-1D Mark IV", 50), "Canon 5D Mark II 50");
    EXPECT_STREQ(choose("Canon", "EOS-1D Mark IV", 3200), "Canon 5D Mark II 3200");
    EXPECT_STREQ(choose("Canon", "EOS-1D Mark II N"), "Canon 1D MkIIn Outdoors");
    EXPECT_STREQ(choose("Canon", "EOS-1Ds Mark III"), "Canon 1Ds MkIII");
    EXPECT_STREQ(choose("Canon", "EOS-1D"), "Canon 1D Outdoors");
    EXPECT_STREQ(choose("Canon", "PowerShot G11", 80), "Canon G11 80");
    EXPECT_STREQ(choose("Canon", "PowerShot G11", 199), "Canon G11 100");
    EXPECT_STREQ(choose("Canon", "PowerShot G11", 200), "Canon G11 200");
    EXPECT_STREQ(choose("Canon", "PowerShot G12"), "Canon G12");
    EXPECT_STREQ(choose("Canon", "EOS R5"), "Canon 5D Mark III");
    EXPECT_STREQ(choose("Canon", "EOS M50"), "Canon 5D Mark III");
    EXPECT_STREQ(choose("Canon", "PowerShot S100"), "Canon G12");
    EXPECT_STREQ(choose("Canon", "EOS 80D"), "Canon 60D");
    EXPECT_STREQ(choose("Canon", "Unknown"), "Canon 1Ds MkII");
}

TEST_F(CameraChoice, NikonIsoSteps) {
    EXPECT_STREQ(choose("NIKON CORPORATION", "D700", 800), "Nikon D700 800");
    EXPECT_STREQ(choose("NIKON CORPORATION", "D700", 1139), "Nikon D700 800");
    EXPECT_STREQ(choose("NIKON CORPORATION", "D700", 1140), "Nikon D700 1600");
    EXPECT_STREQ(choose("NIKON", "d700", 200), "Nikon D700 200");
    EXPECT_STREQ(choose("NIKON", "D700", 30000), "Nikon D700 25600");
    EXPECT_STREQ(choose("NIKON", "D2x"), "Nikon D200");
    EXPECT_STREQ(choose("NIKON", "D2X"), "NikonD2X");
    EXPECT_STREQ(choose("NIKON", "d1"), "NikonD1");
    EXPECT_STREQ(choose("NIKON", "D3X", 69), "Nikon D3X 50");
    EXPECT_STREQ(choose("NIKON", "D3X", 70), "Nikon D3X 100");
    EXPECT_STREQ(choose("NIKON", "D3S", 799), "Nikon D3S 800");
    EXPECT_STREQ(choose("NIKON", "D3S", 400), "Nikon D3S");
    EXPECT_STREQ(choose("NIKON", "D300S"), "Nikon D300S");
    EXPECT_STREQ(choose("NIKON", "D300", 12800), "Nikon D300 6400");
    EXPECT_STREQ(choose("NIKON", "D3", 12800), "Nikon D3 12800");
    EXPECT_STREQ(choose("NIKON", "D5"), "Nikon D4s");
    EXPECT_STREQ(choose("NIKON", "Z 6"), "Nikon D850");
    EXPECT_STREQ(choose("NIKON", "COOLPIX P7000"), "Nikon P7000");
    EXPECT_STREQ(choose("NIKON", "1 J5"), "Nikon V1");
    EXPECT_STREQ(choose("NIKON", "LS-5000"), "Built-in");
    EXPECT_STREQ(choose("NIKON", "E5700"), "Nikon D200");
}

TEST_F(CameraChoice, FujiSonyAndOthers) {
    EXPECT_STREQ(choose("FUJIFILM", "FinePix X100"), "Fuji S5");
    EXPECT_STREQ(choose("FUJIFILM", "X100F"), "Fuji XT1");
    EXPECT_STREQ(choose("FUJIFILM", "X-T10"), "Fuji XPro1");
    EXPECT_STREQ(choose("FUJIFILM", "X-E2"), "Fuji XT1");
    EXPECT_STREQ(choose("FUJIFILM", "X10"), "Fuji X10");
    EXPECT_STREQ(choose("SONY", "DSC-RX100"), "Sony RX100");
    EXPECT_STREQ(choose("SONY", "DSC-RX1"), "Sony NEX");
    EXPECT_STREQ(choose("SONY", "dsc-rx1r"), "Sony NEX");
    EXPECT_STREQ(choose("SONY", "DSC-HX99"), "Sony DSC");
    EXPECT_STREQ(choose("SONY", "ILCE-7M3"), "Sony A900");
    EXPECT_STREQ(choose("SONY", "DSLR-A700"), "Sony Alpha");
    EXPECT_STREQ(choose("CASIO", "EX-F1"), "Sony Alpha");
    EXPECT_STREQ(choose("Apple", "iPhone 12"), "Built-in");
    EXPECT_STREQ(choose("Leica Camera AG", "LEICA Q2", 100, 1.0f, 0x01040000), "Built-in");
    EXPECT_STREQ(choose("Leica Camera AG", "LEICA Q2", 100, 1.0f, 0), "Panasonic G1");
    EXPECT_STREQ(choose("Leica", "M8"), "Leica M8");
    EXPECT_STREQ(choose("PENTAX", "K-5 II"), "Pentax K-x");
    EXPECT_STREQ(choose("SAMSUNG", "GX-10"), "Pentax K200D");
    EXPECT_STREQ(choose("SAMSUNG", "S85"), "SamsungSmall");
    EXPECT_STREQ(choose("OLYMPUS", "E-M1MarkII"), "Olympus EM5");
    EXPECT_STREQ(choose("OLYMPUS", "E-M1"), "Olympus EM1");
    EXPECT_STREQ(choose("Panasonic", "DMC-GH4"), "Panasonic GH2");
    EXPECT_STREQ(choose("Panasonic", "DMC-LX100"), "Panasonic LX3");
    EXPECT_STREQ(choose("Kodak", "DCS Pro 14N"), "Kodak SLR");
    EXPECT_STREQ(choose("Kodak", "Z1015"), "Kodak");
    EXPECT_STREQ(choose("Phase One", "IQ180"), "Phase One P45+");
    EXPECT_STREQ(choose("Phase One", "P 21+"), "Phase One P21+");
    EXPECT_STREQ(choose("SIGMA", "DP2 Merrill"), "Sigma DP2");
    EXPECT_STREQ(choose("RICOH", "GR"), "Ricoh");
}

TEST_F(CameraChoice, LastRuleAndOpenMakerBlocks) {
    EXPECT_STREQ(choose("Unheard Of", "Model", 100, 0.0f), "AdobeRGB2.2");
    EXPECT_STREQ(choose("Unheard Of", "Model", 100, 0.5f), "Built-in");
    EXPECT_STREQ(choose("Unheard Of", "Model", 100, NAN), "Built-in");
    // Sony and Olympus blocks have no closing rule.
    EXPECT_STREQ(choose("SONY", "XYZ", 100, 0.0f), "AdobeRGB2.2");
    EXPECT_STREQ(choose("OLYMPUS", "TG-5", 100, 1.0f), "Built-in");
}

TEST_F(CameraChoice, UserChoiceComesFirst) {
    d_.custom_profile_name = "Default";
    EXPECT_STREQ(choose("Canon", "EOS 5D"), "Default");
    // The camera's own choice does not ask the user's, and leaves it in place.
    EXPECT_STREQ(camera_own_profile_name(&d_), "Canon 5D");
    EXPECT_STREQ(d_.custom_profile_name, "Default");
    d_.custom_profile_name = nullptr;
    EXPECT_STREQ(camera_own_profile_name(&d_), "Canon 5D");
}

TEST_F(CameraChoice, NamesWithoutEntriesResolveToDefaultProfile) {
    for (const char* name : {"Canon 7D 6400", "Canon 7D 12800", "Kodak"}) {
        int index = -1;
        EXPECT_NE(getDVKProfileRef(name, &index), nullptr);
        EXPECT_EQ(index, 219) << name;
    }
}

TEST_F(CameraChoice, EveryAnswerResolves) {
    const char* makes[] = {"Canon", "NIKON", "FUJIFILM", "SONY", "OLYMPUS", "Panasonic", "PENTAX", "Leica"};
    const char* models[] = {"EOS 5D", "D700", "X-T1", "NEX-7", "E-P3", "DMC-G3", "K-3", "M8", "X"};
    for (const char* make : makes)
        for (const char* model : models) {
            const char* name = choose(make, model, 400, 0.0f);
            if (std::strcmp(name, "Built-in") == 0) continue;
            EXPECT_NE(getDVKProfileRef(name, nullptr), nullptr) << make << " " << model << " -> " << name;
        }
}

}  // namespace
}  // namespace dvk
