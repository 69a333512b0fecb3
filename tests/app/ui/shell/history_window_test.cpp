// The controller started offscreen on five known records: the history
// window's rows, newest first, with a default's path drawn in blue and a
// vanished source in grey.
#include <gtest/gtest.h>

#include <QtCore/QEvent>
#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QTableView>
#include <filesystem>
#include <fstream>

#include "app/controller/controller.h"
#include "app/ui/shell/controller_windows.h"
#include "app/ui/windows/history_table_model.h"
#include "app/ui/windows/history_window.h"
#include "tests/app/ui/shell/qt_test_app.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

struct Ink {
    int darkest = 255;  // lowest channel maximum: how dark the text gets
    int blue = 0;       // pixels clearly blue
};

// The text pixels of one cell of the grabbed table.
Ink ink_of(const QImage& image, const QRect& cell) {
    Ink ink;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            QColor c = image.pixelColor(x, y);
            ink.darkest = std::min(ink.darkest, std::max({c.red(), c.green(), c.blue()}));
            if (c.blue() > 180 && c.red() < 120 && c.blue() - c.red() > 100) ++ink.blue;
        }
    return ink;
}

TEST(HistoryWindow, FiveRecordsNewestFirstWithTheDefaultBlueAndTheMissingSourceGrey) {
    test::qtApp();
    test::QtPlatformScope platform;
    test::TempDir dir;
    std::filesystem::create_directories(dir / "photos");
    const std::string photos = (dir / "photos").string();
    for (const char* f : {"a.CR2", "b.CR2", "c.CR2"}) std::ofstream(dir / "photos" / f) << "x";
    struct Row {
        std::string source;
        double date;
    };
    // Inserted oldest first; shown newest first.
    const std::vector<Row> rows = {{photos + "/a.CR2", 1e9},
                                   {photos + "/b.CR2", 1e9 + 10},
                                   {photos + "/", 1e9 + 20},          // a folder default
                                   {photos + "/gone.CR2", 1e9 + 30},  // no such file
                                   {photos + "/c.CR2", 1e9 + 40}};
    {
        std::filesystem::create_directories(dir / "support");
        HistoryStore store((dir / "support" / "DVK2.db").string());
        ASSERT_TRUE(store.write([&](HistoryStore::Transaction& t) {
            for (const Row& r : rows) {
                HistoryMO h;
                h.setValueForKey("sourceFile", r.source);
                h.setValueForKey("destinationFile", "");
                h.setValueForKey("camera", "Canon EOS Kiss X4");
                h.setValueForKey("creationDate", r.date);
                if (!t.insert(h)) return false;
            }
            return true;
        }));
    }

    ControllerOptions options;
    options.supportFolder = (dir / "support").string();
    UserDefaults defaults((dir / "defaults.plist").string());
    options.defaults = &defaults;
    options.search.roots = {(dir / "search").string()};
    Controller controller(options);
    ControllerWindows windows(controller);
    windows.showLaunchWindows();
    controller.launch();
    QTableView* table = windows.historyWindow()->table();
    ASSERT_EQ(table->model()->rowCount(), 5);
    EXPECT_EQ(table->model()->index(0, HistoryTableModel::SourceColumn).data().toString().toStdString(),
              photos + "/c.CR2");
    EXPECT_EQ(table->model()->index(4, HistoryTableModel::SourceColumn).data().toString().toStdString(),
              photos + "/a.CR2");
    table->clearSelection();
    QApplication::processEvents();

    QImage grab = table->viewport()->grab().toImage();
    auto cell = [&](int row) {
        QRect r = table->visualRect(table->model()->index(row, HistoryTableModel::SourceColumn));
        const qreal dpr = grab.devicePixelRatio();
        return QRect(int(r.x() * dpr), int(r.y() * dpr), int(r.width() * dpr), int(r.height() * dpr))
            .intersected(grab.rect());
    };
    const Ink plain = ink_of(grab, cell(0));
    const Ink missing = ink_of(grab, cell(1));
    const Ink folder = ink_of(grab, cell(2));
    EXPECT_LT(plain.darkest, 80);  // black text
    EXPECT_EQ(plain.blue, 0);
    EXPECT_GT(missing.darkest, 110);  // grey text, nothing darker
    EXPECT_LT(missing.darkest, 200);  // but text is drawn
    EXPECT_GT(folder.blue, 10);
    // The store's five rows and nothing selected.
    EXPECT_TRUE(controller.historyList().selectionIndexes().empty());

    // A record another program (dvk-history) adds shows when the window comes to the front.
    {
        HistoryStore other((dir / "support" / "DVK2.db").string());
        ASSERT_TRUE(other.write([&](HistoryStore::Transaction& t) {
            HistoryMO h;
            h.setValueForKey("sourceFile", photos + "/d.CR2");
            h.setValueForKey("camera", "Canon EOS Kiss X4");
            h.setValueForKey("creationDate", 1e9 + 50);
            return t.insert(h);
        }));
    }
    EXPECT_EQ(table->model()->rowCount(), 5);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(windows.historyWindow(), &activate);
    ASSERT_EQ(table->model()->rowCount(), 6);
    EXPECT_EQ(table->model()->index(0, HistoryTableModel::SourceColumn).data().toString().toStdString(),
              photos + "/d.CR2");
}

TEST(HistoryWindow, SelectionGoesBothWays) {
    test::qtApp();
    test::QtPlatformScope platform;
    test::TempDir dir;
    ControllerOptions options;
    options.supportFolder = (dir / "support").string();
    UserDefaults defaults((dir / "defaults.plist").string());
    options.defaults = &defaults;
    options.search.roots = {(dir / "search").string()};
    Controller controller(options);
    ControllerWindows windows(controller);
    controller.launch();
    controller.rawProcessor()->setFileName((dir / "x.CR2").string());
    controller.rawProcessor()->setCamera("Canon EOS Kiss X4");
    auto first = controller.addToHistory();
    auto second = controller.addToHistory();
    ASSERT_TRUE(first && second);
    QTableView* table = windows.historyWindow()->table();
    // The newest record, just added, is selected in the table too.
    ASSERT_EQ(table->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(table->selectionModel()->selectedRows().front().row(), 0);
    table->selectRow(1);
    ASSERT_EQ(controller.historyList().selectedObjects().size(), 1u);
    EXPECT_EQ(controller.historyList().selectedObjects().front().objectID(), first->objectID());
}

}  // namespace
}  // namespace dvk
