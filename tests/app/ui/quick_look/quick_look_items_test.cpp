#include <gtest/gtest.h>

#include <filesystem>

#include "app/history/quick_look_items.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;
using test::touch;

TEST(QuickLookItems, DestinationThenSiblingsThenSourceNoneTwice) {
    test::TempDir dir;
    const std::string raw = touch(dir / "shots/x.NEF");
    const std::string jpg = touch(dir / "shots/x.jpg");
    const std::string out = touch(dir / "out/x.tif");
    // A raw file with a JPEG of the same name beside it: x.NEF beside x.jpg.
    EXPECT_EQ(previewItemsForRecords({{out, raw}}), (std::vector<std::string>{out, jpg, raw}));

    // Every sibling kind, in its order; a second record naming the same files
    // adds nothing, and a destination that is a sibling is listed once.
    const std::string jpeg = touch(dir / "shots/x.jpeg");
    const std::string tiff = touch(dir / "shots/x.tiff");
    const std::string tif = touch(dir / "shots/x.tif");
    EXPECT_EQ(previewItemsForRecords({{jpg, raw}, {out, raw}}),
              (std::vector<std::string>{jpg, jpeg, tiff, tif, raw, out}));

    // Missing or folder destinations and missing sources are left out.
    fs::create_directories(dir / "folder.tif");
    const std::string gone = (dir / "shots/gone.NEF").string();
    EXPECT_EQ(previewItemsForRecords({{(dir / "folder.tif").string(), gone}, {(dir / "out/none.tif").string(), ""}}),
              std::vector<std::string>{});
    EXPECT_EQ(previewItemsForRecords({{"", raw}}), (std::vector<std::string>{jpeg, jpg, tiff, tif, raw}));

    // A source without an extension gets one; a dot in a folder name is no extension.
    const std::string bare = touch(dir / "v1.0/shot");
    const std::string bareJpg = touch(dir / "v1.0/shot.jpg");
    EXPECT_EQ(previewItemsForRecords({{"", bare}}), (std::vector<std::string>{bareJpg, bare}));
}

TEST(QuickLookItems, ItemUrls) {
    const std::vector<std::string> items = {"/photos/a b%.jpg", "/photos/ü.NEF"};
    EXPECT_EQ(previewItemUrl(items, 0), "file:///photos/a%20b%25.jpg");
    EXPECT_EQ(previewItemUrl(items, 1), "file:///photos/%C3%BC.NEF");
    EXPECT_EQ(previewItemUrl(items, 2), "");
}

}  // namespace
}  // namespace dvk
