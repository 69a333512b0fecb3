// The Qt forms of the platform layers on the offscreen platform: a real
// message box pressed by a timer, Escape answering its cancelling choice,
// alerts from a worker while the event loop runs on, the modifier mapping, the
// open panel's files-and-folders choice and where the save panel opens.
#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QStandardItemModel>
#include <QtTest/QTest>
#include <QtGui/QAction>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QListView>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeView>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/dispatch.h"
#include "platform/modifier_keys.h"
#include "platform/qt/qt_platform.h"
#include "tests/app/ui/shell/qt_test_app.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

// Presses the button titled `title` of the next modal message box (noting
// its icon in *icon).
void press_when_shown(const QString& title, QStringList* seenOrder, QMessageBox::Icon* icon = nullptr) {
    QTimer::singleShot(20, [title, seenOrder, icon] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            press_when_shown(title, seenOrder, icon);
            return;
        }
        if (icon) *icon = box->icon();
        // The buttons as laid out, left to right.
        QList<QPushButton*> buttons = box->findChildren<QPushButton*>();
        std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) {
            return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
        });
        for (QPushButton* b : buttons) {
            if (seenOrder) *seenOrder << b->text();
            if (b->text() == title) QTest::mouseClick(b, Qt::LeftButton);
        }
    });
}

TEST(QtAlerts, TheThirdOfThreeButtonsAnswers1002AndButtonsKeepTheirOrder) {
    test::qtApp();
    test::QtPlatformScope platform;
    QStringList order;
    press_when_shown("Later", &order);
    int answer = showAlert("Batch", "Resume the batch?", {"Proceed", "Cancel", "Later"});
    EXPECT_EQ(answer, 1002);
    EXPECT_EQ(order, (QStringList{"Proceed", "Cancel", "Later"}));
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    press_when_shown("Ok", nullptr, &icon);
    EXPECT_EQ(showAlert(std::nullopt, "One button", {"Ok"}), 1000);
    EXPECT_EQ(icon, QMessageBox::Information);
    // A warning shows the warning icon.
    press_when_shown("Cancel", nullptr, &icon);
    EXPECT_EQ(showAlert("Warning", "Are you sure that you want to move a.dng to Trash?", {"Cancel", "Move to Trash"}),
              1000);
    EXPECT_EQ(icon, QMessageBox::Warning);
}

// Presses `key` in the next modal message box; when the box is still open a
// second later, its first button ends it.
void key_when_shown(Qt::Key key) {
    QTimer::singleShot(20, [key] {
        QPointer<QMessageBox> box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            key_when_shown(key);
            return;
        }
        QTest::keyClick(box, key);
        QTimer::singleShot(1000, [box] {
            if (box) box->buttons().front()->click();
        });
    });
}

TEST(QtAlerts, EscapeAnswersTheCancellingChoice) {
    test::qtApp();
    test::QtPlatformScope platform;
    key_when_shown(Qt::Key_Escape);
    EXPECT_EQ(showAlert("Export settings for multiple files", "You are about to export settings for 3 selected files",
                        {"Continue", "Cancel"}),
              1001);
    key_when_shown(Qt::Key_Escape);
    EXPECT_EQ(showAlert(std::nullopt, "Preset with name \"a\" already exists", {"Cancel", "Overwrite"}), 1000);
    key_when_shown(Qt::Key_Escape);
    EXPECT_EQ(showAlert("Batch", "Incomplete batch detected.", {"Proceed", "Later", "Forget it"}), 1001);
    // Without a cancelling choice Escape answers nothing: the alert waits for a button.
    key_when_shown(Qt::Key_Escape);
    EXPECT_EQ(showAlert("Question", "Yes or no?", {"Yes", "No"}), 1000);
}

TEST(QtAlerts, AnAlertFromAWorkerWaitsWhileTheMainThreadKeepsHandlingEvents) {
    test::qtApp();
    test::QtPlatformScope platform;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    int answer = 0;
    std::chrono::steady_clock::duration took{};
    Completion done;
    std::thread worker([&] {
        auto start = std::chrono::steady_clock::now();
        answer = showAlert("Question", "From a worker", {"Yes", "No"});
        took = std::chrono::steady_clock::now() - start;
        done.signal();
    });
    press_when_shown("No", nullptr);
    done.wait();  // the main thread runs its event loop meanwhile
    worker.join();
    EXPECT_EQ(answer, 1001);
    EXPECT_GE(took, std::chrono::milliseconds(100));
    EXPECT_GE(ticks, 10);
}

TEST(QtModifiers, CtrlIsCommandAltIsOptionMetaIsControl) {
    EXPECT_EQ(modifierFlagsFromQt(Qt::NoModifier), 0u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::ControlModifier), unsigned(kCommandKeyMask));
    EXPECT_EQ(modifierFlagsFromQt(Qt::AltModifier), unsigned(kAlternateKeyMask));
    EXPECT_EQ(modifierFlagsFromQt(Qt::MetaModifier), unsigned(kControlKeyMask));
    EXPECT_EQ(modifierFlagsFromQt(Qt::ShiftModifier | Qt::MetaModifier), unsigned(kShiftKeyMask | kControlKeyMask));
}

TEST(QtPanels, TheOpenPanelTakesAFolderAndAFileInOneChoice) {
    test::qtApp();
    test::QtPlatformScope platform;
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    std::ofstream(dir / "photo.NEF") << "x";
    std::function<void()> choose = [&choose] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* view = dialog ? dialog->findChild<QListView*>(QStringLiteral("listView")) : nullptr;
        if (!view || view->model()->rowCount(view->rootIndex()) < 2) {
            QTimer::singleShot(20, choose);
            return;
        }
        QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            view->selectionModel()->select(view->model()->index(row, 0, root),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QMetaObject::invokeMethod(dialog, "accept");
    };
    QTimer::singleShot(20, choose);
    OpenPanelRequest request;
    request.startPath = dir.path().string();
    auto chosen = runOpenPanel(request);
    ASSERT_TRUE(chosen.has_value());
    std::vector<std::string> got = *chosen;
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{(dir / "folder").string(), (dir / "photo.NEF").string()}));
}

// A destination's folder that no save made yet: the panel opens at the
// nearest folder above it, and makes nothing.
TEST(QtPanels, TheSavePanelOpensAtTheNearestFolderThatExists) {
    test::qtApp();
    test::QtPlatformScope platform;
    test::TempDir dir;
    QString shown;
    std::function<void()> look = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(20, look);
            return;
        }
        shown = dialog->directory().absolutePath();
        dialog->reject();
    };
    QTimer::singleShot(20, look);
    SavePanelRequest request;
    request.directory = (dir / "new" / "deeper").string();
    request.fileName = "x.tiff";
    EXPECT_EQ(runSavePanel(request), std::nullopt);
    EXPECT_EQ(shown.toStdString(), dir.path().string());
    EXPECT_FALSE(std::filesystem::exists(dir / "new"));
}

TEST(QtPanels, APathTypedIntoTheFolderPanelIsExactlyTheChoice) {
    test::qtApp();
    test::QtPlatformScope platform;
    test::TempDir dir;
    std::filesystem::create_directories(dir / "photos" / "gui");
    std::filesystem::create_directories(dir / "photos" / "guide");
    const QString typed = QString::fromStdString((dir / "photos" / "gui").string());
    std::function<void()> type = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* edit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        auto* view = dialog ? dialog->findChild<QListView*>(QStringLiteral("listView")) : nullptr;
        if (!edit || !view || view->model()->rowCount(view->rootIndex()) < 1) {
            QTimer::singleShot(20, type);
            return;
        }
        // As the completion can leave it: the folders passed on the way
        // still selected in the list, the whole path in the name field.
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            view->selectionModel()->select(view->model()->index(row, 0, root),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        {
            const QSignalBlocker quiet(edit);
            edit->setText(typed);
        }
        QMetaObject::invokeMethod(dialog, "accept");
    };
    QTimer::singleShot(20, type);
    OpenPanelRequest request;
    request.canChooseFiles = false;
    request.startPath = dir.path().string();
    auto chosen = runOpenPanel(request);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, std::vector<std::string>{typed.toStdString()});
}

// A folder panel started at the open file (Clean History, the white-balance
// lock) opens on the file's folder with nothing typed and its choice enabled:
// choosing at once takes that folder.
TEST(QtPanels, AFolderPanelStartedAtAFileOpensOnItsFolderChosen) {
    test::qtApp();
    test::QtPlatformScope platform;
    test::TempDir dir;
    std::filesystem::create_directories(dir / "photos" / "sub");
    for (const char* name : {"c1.dng", "c2.dng"}) std::ofstream(dir / "photos" / name) << "x";
    QString shownFolder, typed;
    bool chooseEnabled = false;
    std::function<void()> look = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* edit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        auto* buttons = dialog ? dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")) : nullptr;
        if (!edit || !buttons) {
            QTimer::singleShot(20, look);
            return;
        }
        QApplication::processEvents();
        shownFolder = dialog->directory().absolutePath();
        typed = edit->text();
        chooseEnabled = buttons->button(QDialogButtonBox::Open)->isEnabled();
        QMetaObject::invokeMethod(dialog, "accept");
        // A panel that refused the choice is cancelled.
        QTimer::singleShot(1000, [panel = QPointer<QFileDialog>(dialog)] {
            if (panel) panel->reject();
        });
    };
    QTimer::singleShot(20, look);
    OpenPanelRequest request;
    request.canChooseFiles = false;
    request.startPath = (dir / "photos" / "c1.dng").string();
    auto chosen = runOpenPanel(request);
    EXPECT_EQ(shownFolder.toStdString(), (dir / "photos").string());
    EXPECT_EQ(typed, QString());
    EXPECT_TRUE(chooseEnabled);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, std::vector<std::string>{(dir / "photos").string()});
}

// When an alert, a panel or a dialog closes, the window it came from has the
// keyboard again: its shortcuts work and typing goes to its focused control
// (without a window manager nobody else gives the focus back).
TEST(QtPanels, TheWindowHasTheKeyboardAgainWhenAnAlertAPanelOrADialogCloses) {
    test::qtApp();
    test::QtPlatformScope platform;
    QWidget window;
    auto* field = new QLineEdit(&window);
    int opens = 0;
    auto* open = new QAction(&window);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QObject::connect(open, &QAction::triggered, [&opens] { ++opens; });
    window.addAction(open);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    const auto escapeWhenShown = [](auto&& self) -> void {
        QTimer::singleShot(20, [self] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return self(self);
            QTest::keyClick(modal, Qt::Key_Escape);
        });
    };
    for (const char* what : {"open panel", "save panel", "alert", "dialog"}) {
        SCOPED_TRACE(what);
        escapeWhenShown(escapeWhenShown);
        const std::string_view w = what;
        if (w == "open panel") {
            EXPECT_EQ(runOpenPanel(OpenPanelRequest{}), std::nullopt);
        } else if (w == "save panel") {
            EXPECT_EQ(runSavePanel(SavePanelRequest{}), std::nullopt);
        } else if (w == "alert") {
            EXPECT_EQ(showAlert("Question", "Go on?", {"Continue", "Cancel"}), 1001);
        } else {
            QDialog dialog(&window);
            EXPECT_EQ(execModalDialog(dialog), QDialog::Rejected);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }, 2000));
        EXPECT_EQ(QApplication::focusWidget(), field);
        const int before = opens;
        QTest::keyClick(field, Qt::Key_O, Qt::ControlModifier);
        EXPECT_EQ(opens, before + 1);
    }
}

// The open panel's size, type and date columns are as wide as what they show.
TEST(QtPanels, TheOpenPanelsColumnsShowTheirWholeText) {
    test::qtApp();
    test::QtPlatformScope platform;
    test::TempDir dir;
    std::ofstream(dir / "photo.dng") << std::string(379904, 'x');  // 371.00 KiB
    std::ofstream(dir / "notes.txt") << "x";
    QStringList cut;
    std::function<void()> look = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* view = dialog ? dialog->findChild<QTreeView*>(QStringLiteral("treeView")) : nullptr;
        if (!view || view->model()->rowCount(view->rootIndex()) < 2) {
            QTimer::singleShot(20, look);
            return;
        }
        QApplication::processEvents();
        // The width each item needs (its delegate's: text, margins, icon).
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            for (int column = 1; column < view->header()->count(); ++column) {
                const QModelIndex index = view->model()->index(row, column, root);
                QStyleOptionViewItem option;
                option.initFrom(view);
                const int needed = view->itemDelegateForIndex(index)->sizeHint(option, index).width();
                const int width = view->header()->sectionSize(column);
                if (needed > width) cut << index.data().toString() + QStringLiteral(" (%1 of %2)").arg(width).arg(needed);
            }
        dialog->reject();
    };
    QTimer::singleShot(20, look);
    OpenPanelRequest request;
    request.startPath = dir.path().string();
    EXPECT_EQ(runOpenPanel(request), std::nullopt);
    EXPECT_TRUE(cut.isEmpty()) << cut.join(QStringLiteral(" | ")).toStdString();
}

}  // namespace
}  // namespace dvk
