#include "tests/app/ui/panels/panels_fixture.h"

#include <QtTest/QTest>
#include <QtWidgets/QApplication>

#include "app/preview/preview_controller.h"
#include "app/ui/windows/profiling_panel.h"
#include "platform/qt/qt_platform.h"

namespace dvk::test {

void PanelsTest::SetUp() {
    installQtMainQueue();
    setAlertPresenter(alerts.presenter());
    panels = std::make_shared<ScriptedPanels>();
    setPanelPresenter(panels);
    defaults = std::make_unique<UserDefaults>((dir / "defaults.plist").string());
    ControllerOptions options;
    options.supportFolder = support();
    options.defaults = defaults.get();
    controller = std::make_unique<Controller>(options);
    window = std::make_unique<MainWindow>(controller->preview());
    menus = std::make_unique<MainWindowMenus>(*controller, *window);
    window->awakeFromNib(*defaults);
    delegate = std::make_unique<MainWindowDelegate>(*window);
    delegate->setProfilingPanel(&menus->profilingPanel(), [this] { controller->profilingWindowWillClose(); });
    window->show();
}

void PanelsTest::TearDown() {
    settle();
    delegate.reset();
    menus.reset();
    window.reset();
    controller.reset();
    QCoreApplication::processEvents();
    setPanelPresenter(nullptr);
    setAlertPresenter({});
    uninstallQtMainQueue();
}

void PanelsTest::settle() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->preview().applyWorker().busy(); }, 120000))
        << "the apply worker stayed busy";
}

void PanelsTest::openChart() {
    int result = -1;
    controller->openCommandLineFile((testdata_dir() / "raw" / "colorchart.dng").string(), [&](int r) { result = r; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result != -1; }, 120000)) << "the chart never opened";
    settle();
    ASSERT_EQ(result, 0);
}

}  // namespace dvk::test
