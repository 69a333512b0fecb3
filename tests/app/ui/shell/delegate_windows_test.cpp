// The delegate's windows offscreen: the settings selector and the new-preset
// window, the presets pop-up, the rename-source panel, the orange cell of a
// moved source, drops and the close that quits, a history record opened by
// a double click, the single-instance server, and the update request
// reaching a loopback server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QDragEnterEvent>
#include <QtNetwork/QLocalSocket>
#include <QtTest/QTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableView>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "app/controller/controller.h"
#include "app/desktop/exiftool.h"
#include "app/history/history_defaults.h"
#include "app/desktop/single_instance.h"
#include "app/ui/shell/controller_windows.h"
#include "app/ui/windows/history_table_model.h"
#include "app/ui/windows/history_window.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/shell/app_delegate_windows.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/text_field_scroller.h"
#include "app/ui/main_window/presets_pop_up.h"
#include "app/ui/windows/rename_source_panel.h"
#include "app/ui/windows/secondary_window.h"
#include "app/ui/windows/settings_selector_window.h"
#include "app/ui/shell/single_instance.h"
#include "app/ui/shell/update_requester.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/user_defaults.h"
#include "tests/app/ui/shell/qt_test_app.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

// Runs `action` once `window` is shown (by a modal run that starts later).
void whenShown(QWidget* window, std::function<void()> action) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, window, action = std::move(action)] {
        if (!window->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start(5);
}

// A controller with its windows over temporary folders, alerts scripted.
struct Windows {
    Windows() {
        test::qtApp();
        setAlertPresenter(alerts.presenter());
        ControllerOptions o;
        o.supportFolder = (dir / "support").string();
        o.defaults = &defaults;
        o.search.roots = {(dir / "search").string()};
        controller = std::make_unique<Controller>(o);
        windows = std::make_unique<ControllerWindows>(*controller);
        // The metadata text of opened files is not what these tests look at.
        setExiftoolProgram("/bin/true");
        controller->launch();
    }
    ~Windows() {
        [[maybe_unused]] bool idle = QTest::qWaitFor([&] { return controller->activity().running() == 0; }, 10000);
        windows.reset();
        controller.reset();
        setExiftoolProgram("");
        setAlertPresenter({});
    }
    // A small synthetic raw file.
    std::string rawFile(const std::string& name) {
        const fs::path p = dir / name;
        EXPECT_TRUE(test::write_dng(p, test::gradient_dng(test::DngLayout::Bayer, 64, 48)));
        return p.string();
    }
    // Waits until the open road has opened `path`.
    bool opened(const std::string& path) {
        return QTest::qWaitFor(
            [&] { return controller->rawProcessor()->fileName() == path && !controller->isBusy(); }, 10000);
    }
    QCheckBox* checkbox(const QString& title) {
        for (QCheckBox* b : windows->settingsSelectorBox()->checkboxes())
            if (b->text() == title) return b;
        return nullptr;
    }
    QPushButton* button(QWidget* w, const QString& title) {
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == title) return b;
        return nullptr;
    }

    test::QtPlatformScope platform;
    test::TempDir dir;
    UserDefaults defaults{(dir / "defaults.plist").string()};
    ScriptedAlerts alerts;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<ControllerWindows> windows;
};

TEST(DelegateWindows, TheSelectorsOkSavesTheChoiceAndAnyOtherWayRestoresIt) {
    Windows w;
    ASSERT_EQ(w.windows->settingsSelectorBox()->checkboxes().size(), 19u);
    QCheckBox* wb = w.checkbox(QStringLiteral("White Balance"));
    ASSERT_TRUE(wb && wb->isChecked());

    SettingsSelectorWindow* selector = w.windows->settingsSelectorWindow();
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(wb, Qt::LeftButton);
        QTest::mouseClick(w.button(selector, QStringLiteral("Ok")), Qt::LeftButton);
    });
    w.controller->showSettingSelectorWindow();
    EXPECT_EQ(w.defaults.stringArrayForKey("DisabledSettings"), std::vector<std::string>{"White Balance"});
    EXPECT_EQ(w.controller->rawProcessor()->disabledSettings().size(), 6u);

    QTimer::singleShot(0, [&] {
        QTest::mouseClick(w.checkbox(QStringLiteral("Gamma")), Qt::LeftButton);
        QTest::keyClick(selector, Qt::Key_Escape);
    });
    w.controller->showSettingSelectorWindow();
    EXPECT_TRUE(w.checkbox(QStringLiteral("Gamma"))->isChecked());
    EXPECT_FALSE(wb->isChecked());
    EXPECT_EQ(w.defaults.stringArrayForKey("DisabledSettings"), std::vector<std::string>{"White Balance"});
}

TEST(DelegateWindows, TheNewPresetWindowStaysOpenOnCancelAtTheOverwriteQuestion) {
    Windows w;
    fs::create_directories(w.dir / "support/Presets");
    std::ofstream(w.dir / "support/Presets/Warm.dvks") << "exposure 1\n";
    w.controller->createPresetsMenu();
    auto popup = std::make_unique<QComboBox>();
    w.windows->bindPresetsPopUp(popup.get());
    ASSERT_EQ(popup->count(), 5);
    EXPECT_EQ(popup->itemText(1), QStringLiteral("Warm"));
    EXPECT_EQ(popup->itemText(3), QStringLiteral("New..."));

    CreatePresetWindow* window = w.windows->createPresetWindow();
    bool openAfterCancel = false;
    whenShown(window, [&] {
        window->nameField()->setText(QStringLiteral("Warm"));
        w.alerts.answer("Cancel");
        QTest::mouseClick(w.button(window, QStringLiteral("Ok")), Qt::LeftButton);
        openAfterCancel = window->isVisible();
        window->nameField()->setText(QStringLiteral("Cool"));
        QTest::mouseClick(w.button(window, QStringLiteral("Ok")), Qt::LeftButton);
    });
    // "New..." runs the window modally through the pop-up.
    emit popup->activated(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(w.dir / "support/Presets/Cool.dvks"); }, 5000));
    EXPECT_TRUE(openAfterCancel);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(w.alerts.requests().front().text, "Preset with name \"Warm\" already exists");
    ASSERT_EQ(popup->count(), 6);
    EXPECT_EQ(popup->itemText(1), QStringLiteral("Cool"));
    EXPECT_EQ(popup->currentIndex(), 0);
}

TEST(DelegateWindows, TheRenamePanelShowsTheFoldersAndRenames) {
    Windows w;
    fs::create_directories(w.dir / "new");
    std::ofstream(w.dir / "new/a.CR2") << "x";
    fs::create_directories(w.dir / "search/found");
    std::ofstream(w.dir / "search/found/a.CR2") << "x";
    w.controller->rawProcessor()->setCamera("Acme Fixture 1");
    auto r = w.controller->addCurrentSettingsToHistoryWithSource((w.dir / "old/a.CR2").string(), "", std::nullopt,
                                                                w.controller->rawProcessor());
    ASSERT_TRUE(r);
    w.controller->historyList().setSelectionIndex(0);

    RenameSourcePanel* panel = w.windows->renameSourcePanel();
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(panel->replaceBox()->currentText().toStdString(), (w.dir / "old/").string());
        // The search's folder arrives while the panel is up.
        EXPECT_TRUE(QTest::qWaitFor([&] { return panel->replacementBox()->count() == 1; }, 5000));
        EXPECT_EQ(panel->replacementBox()->itemText(0).toStdString(), (w.dir / "search/found/").string());
        EXPECT_TRUE(panel->openButton()->isEnabled());
        panel->replacementBox()->setEditText(QString::fromStdString((w.dir / "nowhere/").string()));
        EXPECT_FALSE(panel->openButton()->isEnabled());
        panel->replacementBox()->setEditText(QString::fromStdString((w.dir / "new/").string()));
        QTest::mouseClick(w.button(panel, QStringLiteral("Rename")), Qt::LeftButton);
    });
    w.controller->renameSource();
    EXPECT_EQ(w.controller->persistentStoreCoordinator().fetchAll().front().sourceFile(),
              (w.dir / "new/a.CR2").string());
}

TEST(DelegateWindows, AMissingSourceTurnsOrangeOnceTheSearchFindsItsName) {
    Windows w;
    fs::create_directories(w.dir / "search/deep");
    std::ofstream(w.dir / "search/deep/moved.CR2") << "x";
    w.controller->rawProcessor()->setCamera("Acme Fixture 1");
    for (const char* source : {"/nowhere/moved.CR2", "/nowhere/lost.CR2"})
        w.controller->addCurrentSettingsToHistoryWithSource(source, "", std::nullopt, w.controller->rawProcessor());
    QAbstractItemModel* model = w.windows->historyWindow()->table()->model();
    auto colour = [&](int row) {
        return model->index(row, HistoryTableModel::SourceColumn).data(Qt::ForegroundRole).value<QColor>();
    };
    ASSERT_EQ(model->index(1, HistoryTableModel::SourceColumn).data().toString(), QStringLiteral("/nowhere/moved.CR2"));
    EXPECT_EQ(colour(1), HistoryTableModel::missingColour());  // not known yet: grey, without waiting
    EXPECT_TRUE(QTest::qWaitFor([&] { return colour(1) == HistoryTableModel::missingFoundColour(); }, 5000));
    EXPECT_EQ(colour(0), HistoryTableModel::missingColour());
    EXPECT_NEAR(HistoryTableModel::missingFoundColour().alphaF(), 0.9, 0.002);
}

TEST(DelegateWindows, DropsOfExistingFilesAreTakenAndClosingTheWindowRunsTheQuitSteps) {
    Windows w;
    QWidget* front = w.windows->historyWindow();
    EXPECT_TRUE(front->acceptDrops());
    auto mime = [](const std::vector<fs::path>& paths) {
        auto* m = new QMimeData;
        QList<QUrl> urls;
        for (const fs::path& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
        m->setUrls(urls);
        return m;
    };
    std::unique_ptr<QMimeData> gone(mime({w.dir / "gone.dng"}));
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, gone.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(front, &refused);
    EXPECT_FALSE(refused.isAccepted());

    // A raw file the decoder identifies.
    const fs::path raw = w.rawFile("x.dng");
    std::unique_ptr<QMimeData> files(mime({raw}));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(front, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(front, &drop);
    EXPECT_TRUE(w.opened(raw.string()));

    // Closing the front window goes through the quit steps (which write the editors).
    front->show();
    EXPECT_FALSE(w.defaults.hasKey("Editors"));
    front->close();
    EXPECT_TRUE(w.defaults.hasKey("Editors"));
}

TEST(DelegateWindows, ADoubleClickOnARecordOpensItsFileWithItsSettingsAndOnADefaultNothing) {
    Windows w;
    const std::string file = w.rawFile("r.dng");
    RawProcessor& rp = *w.controller->rawProcessor();
    HistoryMO record = historyRecordFromSettings(rp, file, "", std::nullopt);
    record.setValueForKey("exposure", 1.25);
    HistoryMO folder = historyRecordFromSettings(rp, w.dir.path().string() + "/", "", std::nullopt);
    ASSERT_TRUE(w.controller->persistentStoreCoordinator().write(
        [&](HistoryStore::Transaction& t) { return t.insert(record) && t.insert(folder); }));
    w.controller->reloadHistory();
    HistoryWindow* history = w.windows->historyWindow();
    history->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
    QTableView* table = history->table();
    auto doubleClickOn = [&](const std::string& source) {
        const std::vector<HistoryMO>& shown = w.controller->historyList().arrangedObjects();
        for (std::size_t row = 0; row < shown.size(); ++row) {
            if (shown[row].sourceFile() != source) continue;
            const QRect cell = table->visualRect(table->model()->index(static_cast<int>(row), 0));
            // The first click of a double click presses the row.
            QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
            QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
            return true;
        }
        return false;
    };

    // A folder default opens nothing.
    ASSERT_TRUE(doubleClickOn(w.dir.path().string() + "/"));
    QTest::qWait(50);
    EXPECT_FALSE(w.controller->isBusy());
    EXPECT_EQ(rp.fileName(), "");

    ASSERT_TRUE(doubleClickOn(file));
    EXPECT_TRUE(w.opened(file));
    EXPECT_EQ(rp.exposure(), 1.25);
}

TEST(DelegateWindows, TheInstanceServerTakesFilesAndRefusesWhileBusy) {
    Windows w;
    const std::string socket = (w.dir / "s.socket").string();
    { std::ofstream(socket) << "left by a program that was killed"; }
    InstanceServer server(*w.controller, socket);
    ASSERT_TRUE(server.listening());
    const std::string file = w.rawFile("a.dng");

    // A launch's message, with the time its launch waits for the answer.
    auto send = [&](const std::vector<std::string>& files, std::int64_t waits = kHandOverWaitNs) {
        std::atomic<int> answer{-1};
        std::thread client([&] {
            QLocalSocket s;
            s.connectToServer(QString::fromStdString(socket));
            if (!s.waitForConnected(2000)) return;
            const std::string m = encodeOpenMessage(files, instanceClockNow() + waits);
            s.write(m.data(), static_cast<qint64>(m.size()));
            s.flush();
            if (s.waitForReadyRead(5000)) answer = s.readAll().at(0);
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer != -1; }, 6000));
        client.join();
        return answer.load();
    };
    EXPECT_EQ(send({file}), kInstanceAccepted);
    EXPECT_TRUE(w.opened(file));
    EXPECT_EQ(send({}), kInstanceAccepted);  // no files: the window comes up
    // A message its launch has given up on (or is about to) is not acted on.
    const std::string late = w.rawFile("late.dng");
    EXPECT_EQ(send({late}, -1), kInstanceLate);
    EXPECT_EQ(send({late}, kHandOverMarginNs / 2), kInstanceLate);
    QTest::qWait(400);  // longer than the gathering of open events
    EXPECT_FALSE(w.controller->isBusy());
    EXPECT_EQ(w.controller->rawProcessor()->fileName(), file);
    w.controller->rawProcessor()->setProgress(30);
    EXPECT_EQ(send({file}), kInstanceRefused);
}

// The program as main wires it: controller, its windows and the main window,
// launched, with defaults of its own (`prepare` runs before the launch).
struct LaunchedProgram {
    test::TempDir dir;
    UserDefaults defaults{(dir / "defaults.plist").string()};
    std::unique_ptr<Controller> controller;
    std::unique_ptr<ControllerWindows> windows;
    std::unique_ptr<MainWindow> window;

    explicit LaunchedProgram(const std::function<void(UserDefaults&)>& prepare = {}) {
        if (prepare) prepare(defaults);
        ControllerOptions o;
        o.supportFolder = (dir / "support").string();
        o.defaults = &defaults;
        o.search.roots = {(dir / "search").string()};
        controller = std::make_unique<Controller>(o);
        windows = std::make_unique<ControllerWindows>(*controller);
        window = std::make_unique<MainWindow>(controller->preview());
        window->awakeFromNib(defaults);
        windows->setMainWindow(window.get());
        wireAppDelegate(*controller, *windows, *window);
        controller->launch();
    }
    ~LaunchedProgram() {
        window.reset();
        windows.reset();
        controller.reset();
    }
};

TEST(DelegateWindows, TheMainWindowTakesThePresetsTheMenusTheStepAndGivesItsStatesAtQuit) {
    test::qtApp();
    test::QtPlatformScope platform;
    LaunchedProgram program([](UserDefaults& d) { d.setDouble("RBGGStep", 0.1); });
    MainWindow& window = *program.window;
    Controller& controller = *program.controller;
    UserDefaults& defaults = program.defaults;

    EXPECT_EQ(window.findChild<TextFieldScroller*>(QStringLiteral("evRed"))->tag(), 10);
    QComboBox* presets = window.presetsPopUp();
    ASSERT_EQ(presets->count(), 4);  // the placeholder, a separator, "New..." and "Delete"
    EXPECT_EQ(presets->itemText(2), QStringLiteral("New..."));
    QStringList menus, settingsItems;
    for (QAction* a : window.menuBar()->actions()) {
        menus << a->text();
        if (a->text() == QStringLiteral("&Settings"))
            for (QAction* item : a->menu()->actions()) settingsItems << item->text();
    }
    EXPECT_TRUE(menus.contains(QStringLiteral("&History")));
    EXPECT_TRUE(settingsItems.contains(QStringLiteral("Paste Settings")));
    EXPECT_TRUE(settingsItems.contains(QStringLiteral("Settings Selector...")));

    window.copyTagsButton()->setChecked(true);
    controller.preview().controls().histG = true;
    EXPECT_EQ(controller.applicationShouldTerminate(), TerminateReply::Now);
    EXPECT_EQ(defaults.integerForKey("CopyTags"), 1);
    EXPECT_EQ(defaults.integerForKey("HistogramG"), 1);
    EXPECT_EQ(defaults.integerForKey("DiagramWindow"), 0);
    EXPECT_TRUE(window.acceptDrops());
}

// Ctrl+Q quits from the history window too (its own window, not the main
// window's), through the quit steps.
TEST(DelegateWindows, QuitsKeyWorksFromTheHistoryWindow) {
    test::qtApp();
    test::QtPlatformScope platform;
    LaunchedProgram program;
    program.window->show();
    HistoryWindow* history = program.windows->historyWindow();
    openSecondaryWindow(*history, program.window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(history));
    EXPECT_FALSE(program.defaults.hasKey("Editors"));
    QTest::keyClick(history->table(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(program.defaults.hasKey("Editors"));
    // QTest's release of Ctrl leaves it held for the application: let go.
    QTest::keyRelease(history->table(), Qt::Key_Control, Qt::NoModifier);
}

TEST(UpdateRequest, AnHttpsRequestReachesALoopbackServer) {
    test::qtApp();
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    socklen_t len = sizeof addr;
    getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    const int port = ntohs(addr.sin_port);

    // The server sees the connection and the first bytes of a TLS handshake, then hangs up.
    std::atomic<int> firstByte{-1};
    std::thread server([&] {
        const int c = accept(listener, nullptr, nullptr);
        if (c < 0) return;
        unsigned char b = 0;
        if (read(c, &b, 1) == 1) firstByte = b;
        close(c);
    });
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/dvk_updates_64.xml?Build=1;QQ==";
    std::optional<std::string> error = requestUpdateFeed(url, [] { return false; });
    server.join();
    close(listener);
    EXPECT_EQ(firstByte.load(), 0x16);  // a TLS handshake record
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(url), std::string::npos) << *error;
    // Asked to stop, it gives up at once.
    EXPECT_TRUE(requestUpdateFeed("https://192.0.2.1/dvk_updates_64.xml", [] { return true; }).has_value());
}

}  // namespace
}  // namespace dvk
