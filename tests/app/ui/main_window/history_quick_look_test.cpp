// Quick Look from the history window: the button and the Space key open the
// preview on the selected records' files, in the table's order; the preview
// follows the selection while it is open and lets go of it once closed.
#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableView>

#include <filesystem>

#include "app/history/history_list.h"
#include "app/ui/windows/history_quick_look.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;
using test::touch;

HistoryMO record(std::int64_t id, const std::string& source, const std::string& destination) {
    HistoryMO r;
    r.setObjectID(id);
    r.setValueForKey("sourceFile", source);
    r.setValueForKey("destinationFile", destination);
    return r;
}

TEST(HistoryQuickLook, ShowsTheSelectedRecordsFilesAndFollowsTheSelectionWhileOpen) {
    test::TempDir dir;
    const std::string raw = touch(dir / "shots/x.NEF");
    const std::string jpg = touch(dir / "shots/x.jpg");
    const std::string out = touch(dir / "out/x.tif");
    const std::string raw2 = touch(dir / "shots/y.NEF");
    const std::string out2 = touch(dir / "out/y.jpg");
    HistoryList list;
    list.setContent({record(1, raw, out), record(2, raw2, out2), record(3, (dir / "gone.NEF").string(), "")});

    QWidget window;
    QTableView table(&window);
    HistoryQuickLook ql(list, window, table);
    window.show();
    list.setSelectionIndexes({0});
    EXPECT_FALSE(ql.previewPanel());  // not open: nothing taken

    ql.button()->click();
    ASSERT_TRUE(ql.previewPanel());
    EXPECT_TRUE(ql.previewPanel()->isVisible());
    EXPECT_EQ(ql.previewPanel()->items(), (std::vector<std::string>{out, jpg, raw}));
    EXPECT_EQ(ql.previewItemAtIndex(2), "file://" + raw);
    EXPECT_EQ(ql.previewItemAtIndex(3), "");

    // The selection changes: the open preview shows the new records' files,
    // in the table's order.
    list.setSelectionIndexes({1, 0});
    EXPECT_EQ(ql.previewPanel()->items(), (std::vector<std::string>{out, jpg, raw, out2, raw2}));
    list.setSelectionIndexes({2});  // nothing of it exists
    EXPECT_TRUE(ql.previewPanel()->items().empty());
    EXPECT_EQ(ql.previewPanel()->currentIndex(), -1);

    // Closed, it lets go; a new selection reaches it no more.
    QuickLookDialog* dialog = ql.previewPanel();
    dialog->close();
    EXPECT_FALSE(ql.previewPanel());
    list.setSelectionIndexes({1});
    EXPECT_TRUE(dialog->items().empty());

    // Space on the table opens it again on the selection.
    QTest::keyClick(&table, Qt::Key_Space);
    ASSERT_EQ(ql.previewPanel(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->items(), (std::vector<std::string>{out2, raw2}));
    dialog->close();

    // Without the button (no preview here), the action does nothing.
    ql.button()->hide();
    ql.previewAction();
    EXPECT_FALSE(ql.previewPanel());
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
}  // namespace dvk
