// The history's rules: folder chains, the default walk, the record of a
// processor's settings and the comparison with a default, text matching.
#include <gtest/gtest.h>

#include "app/history/history_defaults.h"
#include "app/history/text_match.h"

namespace dvk {
namespace {

HistoryMO rec(std::int64_t id, const std::string& source, const std::string& camera) {
    HistoryMO r;
    r.setObjectID(id);
    r.setValueForKey("sourceFile", source);
    r.setValueForKey("camera", camera);
    return r;
}

TEST(FolderChain, FromTheFileUpToTheRoot) {
    EXPECT_EQ(folderChain("/Users/a/p/x.NEF"),
              (std::vector<std::string>{"/Users/a/p/x.NEF", "/Users/a/p/", "/Users/a/", "/Users/", "/"}));
    EXPECT_EQ(folderChain("/x.NEF"), (std::vector<std::string>{"/x.NEF", "/"}));
    EXPECT_EQ(folderChain("/a/b/"), (std::vector<std::string>{"/a/b/", "/a/", "/"}));
    EXPECT_EQ(folderChain("/"), (std::vector<std::string>{"/"}));
    EXPECT_TRUE(folderChain("").empty());
    EXPECT_EQ(enclosingFolderWithSlash("/a/b/x.tif"), "/a/b/");
    EXPECT_EQ(enclosingFolderWithSlash("/a/b/"), "/a/");
    EXPECT_EQ(enclosingFolderWithSlash("/a/"), "/");
    EXPECT_EQ(enclosingFolderWithSlash("/"), "/");
}

TEST(DefaultWalk, OwnRecordThenInnermostFolderThenCameraDefaultOfTheSameCameraOnly) {
    const auto chain = folderChain("/a/b/x.CR2");
    // Newest first, as fetched.
    std::vector<HistoryMO> records = {rec(9, "/a/b/", "Nikon D700"), rec(8, "/", "Canon EOS 20D"),
                                      rec(7, "/a/", "canon eos 20d"), rec(6, "/a/b/x.CR2", "Canon EOS 20D"),
                                      rec(5, "/a/b/x.CR2", "Canon EOS 20D")};
    EXPECT_EQ(chooseDirectoryDefault(records, chain, "Canon EOS 20D")->objectID(), 6);
    records.erase(records.begin() + 3, records.end());
    // The /a/b/ default is another camera's; the /a/ one differs only in case.
    EXPECT_EQ(chooseDirectoryDefault(records, chain, "Canon EOS 20D")->objectID(), 7);
    records.erase(records.begin() + 2);
    EXPECT_EQ(chooseDirectoryDefault(records, chain, "Canon EOS 20D")->objectID(), 8);
    EXPECT_FALSE(chooseDirectoryDefault(records, chain, "Sony A7").has_value());
    // The walk compares sources exactly: /A/B/ is not /a/b/.
    EXPECT_FALSE(chooseDirectoryDefault({rec(1, "/A/B/", "Canon EOS 20D")}, chain, "Canon EOS 20D").has_value());
}

TEST(TextMatch, CaseAndDiacriticFoldingOverUnicode) {
    EXPECT_TRUE(endsWithText("/x/Café.NEF", "cafe.nef", kFoldCase | kFoldDiacritics));
    EXPECT_FALSE(endsWithText("/x/Café.NEF", "cafe.nef", kFoldCase));
    // Decomposed é (e + combining acute) equals the composed one.
    EXPECT_TRUE(equalsText("Cafe\xCC\x81", "CAF\xC3\x89", kFoldCase));
    EXPECT_TRUE(equalsText("ÄRGER", "ärger", kFoldCase));
    EXPECT_FALSE(equalsText("ÄRGER", "ärger", kFoldNone));
    EXPECT_TRUE(equalsText("ΣΊΣΥΦΟΣ", "σίσυφος", kFoldCase));
    EXPECT_TRUE(containsText("/Fotos/ÅLAND/img_1.tif", "/åland/", kFoldCase));
    EXPECT_TRUE(beginsWithText("/Media/USB/x", "/media/usb", kFoldCase));
    EXPECT_TRUE(inTexts("/A/", {"/b/", "/a/"}, kFoldCase));
    EXPECT_FALSE(inTexts("/A/", {"/b/"}, kFoldCase));
    EXPECT_TRUE(likeText("Canon EOS Kiss X4", "CANON eos kiss x4", kFoldCase));
    EXPECT_TRUE(likeText("Canon EOS 5D Mark II", "canon*mark ?i", kFoldCase));
    EXPECT_FALSE(likeText("Canon EOS 5D", "canon*mark*", kFoldCase));
    EXPECT_TRUE(likeText("Café", "caf?", kFoldCase));  // "?" takes é with its mark
    EXPECT_FALSE(likeText("Canon EOS 5D", "Canon EOS 5", kFoldCase));
    EXPECT_TRUE(likeText("", "*", kFoldCase));
}

TEST(HistoryRecord, HlRangeRoundsToThousandths) {
    EXPECT_EQ(hlRangeThousandths(2.5), 2500);
    EXPECT_EQ(hlRangeThousandths(2.0004), 2000);
    EXPECT_EQ(hlRangeThousandths(2.03), 2030);  // 2.02999... truncated would be 2029
    float stepped = 1.0f;
    for (int i = 0; i < 15; ++i) stepped += 0.01f;
    EXPECT_LT(stepped, 1.15f + 1e-6f);
    EXPECT_EQ(hlRangeThousandths(stepped), 1150);
}

TEST(HistoryRecord, SettingsRecordAndTheDefaultComparison) {
    RawProcessor r;
    r.setFileName("/a/x.CR2");
    r.setCamera("Canon EOS 20D");
    r.setHlRange(2.03);
    r.setCleanDotNoise(1);
    r.setBlackShift(0.25);
    r.setExposure(-1.5);
    HistoryMO h = historyRecordFromSettings(r, "/a/", "/out/", std::string());
    EXPECT_EQ(h.sourceFile(), "/a/");
    EXPECT_EQ(h.destinationFile(), "/out/");
    EXPECT_EQ(h.valueForKey("reservedInt2"), SettingsValue(2030LL));
    EXPECT_EQ(h.valueForKey("copyTags"), SettingsValue(true));
    EXPECT_EQ(h.valueForKey("reservedDouble1"), SettingsValue(0.25));
    EXPECT_EQ(h.valueForKey("reservedString1").description(), "0");
    EXPECT_TRUE(h.valueForKey("comment").is_null());
    EXPECT_GT(h.creationDate(), 1.6e9);

    // The processor's settings read back from the record equal it (the
    // destination is compared too, so it goes along).
    RawProcessor back;
    back.setCamera("Canon EOS 20D");  // the loaded file's camera
    back.setSettings(h.keyValueSource());
    EXPECT_TRUE(settingsEqualRecord(back, h));
    back.setExposure(-1.4);
    EXPECT_FALSE(settingsEqualRecord(back, h));
    back.setExposure(-1.5);
    back.setHlRange(2.0304);  // the same in thousandths
    EXPECT_TRUE(settingsEqualRecord(back, h));
    back.setHlRange(2.5);
    EXPECT_FALSE(settingsEqualRecord(back, h));
}

TEST(HistoryRecord, FolderAndCameraDefaultsAndPropagation) {
    HistoryMO file = rec(4, "/a/b/x.CR2", "Canon EOS 20D");
    file.setValueForKey("destinationFile", "/out/x.tif");
    file.setValueForKey("rotation", 6);
    file.setValueForKey("reservedString1", "0");

    HistoryMO folder = folderDefaultFrom(file, 1, false, 1e9);
    EXPECT_EQ(folder.objectID(), 0);  // a new record
    EXPECT_EQ(folder.sourceFile(), "/a/b/");
    EXPECT_EQ(folder.destinationFile(), "/out/");
    EXPECT_EQ(folder.valueForKey("rotation").int_value(), 0);
    EXPECT_EQ(folder.creationDate(), 1e9);
    EXPECT_EQ(folder.valueForKey("reservedString1").description(), "1");
    EXPECT_EQ(folderDefaultFrom(file, 2, false, 1e9).valueForKey("reservedString1").description(), "2");
    EXPECT_EQ(folderDefaultFrom(file, 1, true, 1e9).valueForKey("reservedString1").description(), "0");
    EXPECT_EQ(folderDefaultFrom(file, 3, false, 1e9).valueForKey("reservedString1").description(), "0");

    folder.setObjectID(11);
    HistoryMO up = folderDefaultFrom(folder, 0, false, 2e9);
    EXPECT_EQ(up.objectID(), 11);  // moved in place
    EXPECT_EQ(up.sourceFile(), "/a/");
    EXPECT_EQ(up.creationDate(), 1e9);
    EXPECT_EQ(folderDefaultFrom(up, 0, false, 2e9).sourceFile(), "/");

    HistoryMO global = globalCameraDefaultFrom(file, 0);
    EXPECT_EQ(global.sourceFile(), "/");
    EXPECT_EQ(global.destinationFile(), "");
    EXPECT_EQ(global.valueForKey("reservedString1").description(), "2");
    EXPECT_EQ(globalCameraDefaultFrom(file, 1).valueForKey("reservedString1").description(), "1");

    std::string shown;
    HistoryMO t = propagationTemplate(file, &shown);
    EXPECT_EQ(shown, "/out/");
    EXPECT_EQ(propagationConfirmationText(3, shown),
              "You are about to propogate selected settings for 3 files with destinations set to\n\"/out/\".");
    EXPECT_EQ(propagationConfirmationText(1, ""),
              "You are about to propogate selected settings for 1 files with destinations set to\n\"Default\".");
    HistoryMO p = propagatedRecord(t, "/c/y.NEF", "Nikon D700", 5e9);
    EXPECT_EQ(p.sourceFile(), "/c/y.NEF");
    EXPECT_EQ(p.camera(), "Nikon D700");
    EXPECT_EQ(p.destinationFile(), "/out/");
    EXPECT_EQ(p.objectID(), 0);
}

TEST(HistoryCells, OpenFileBoldDefaultsBlueMissingSourcesGrey) {
    auto exists = [](const std::string& p) { return p != "/gone/x.CR2"; };
    EXPECT_EQ(historyCellStyle(true, "/a/x.CR2", "/a/x.CR2", exists), HistoryCellStyle::OpenFile);
    EXPECT_EQ(historyCellStyle(true, "/a/", "/a/x.CR2", exists), HistoryCellStyle::FolderDefault);
    EXPECT_EQ(historyCellStyle(false, "/out/", "", exists), HistoryCellStyle::FolderDefault);
    EXPECT_EQ(historyCellStyle(true, "/a/y.CR2", "/a/x.CR2", exists), HistoryCellStyle::Plain);
    EXPECT_EQ(historyCellStyle(true, "/gone/x.CR2", "", exists), HistoryCellStyle::Missing);
    // Only the source column looks for the file.
    EXPECT_EQ(historyCellStyle(false, "/gone/x.CR2", "", exists), HistoryCellStyle::Plain);
    EXPECT_EQ(historyCellStyle(false, "", "", exists), HistoryCellStyle::Plain);
}

}  // namespace
}  // namespace dvk
