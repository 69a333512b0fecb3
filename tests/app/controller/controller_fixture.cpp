#include "tests/app/controller/controller_fixture.h"

#include "pipeline/load/load_raw_file.h"
#include "platform/dispatch.h"
#include "tests/support/dng_writer.h"

namespace dvk::test {

namespace fs = std::filesystem;

void ControllerFixture::SetUp() {
    markMainThread();
    setMainExecutor({});
    setAlertPresenter(alerts.presenter());
    panels = std::make_shared<ScriptedPanels>();
    setPanelPresenter(panels);
    defaults = std::make_unique<UserDefaults>((dir / "config" / "defaults.plist").string());
    controller = std::make_unique<Controller>(options());
    controller->launch();
}

ControllerOptions ControllerFixture::options() {
    ControllerOptions o;
    o.supportFolder = (dir / "support").string();
    o.defaults = defaults.get();
    o.search.roots = {(dir / "search").string()};
    return o;
}

void ControllerFixture::TearDown() {
    controller.reset();
    setAlertPresenter({});
    setPanelPresenter(nullptr);
}

std::string ControllerFixture::canonFile(const std::string& relative) {
    fs::path p = dir / "photos" / relative;
    fs::create_directories(p.parent_path());
    fs::create_symlink(testdata_dir() / "raw" / "colorchart.dng", p);
    return p.string();
}

std::string ControllerFixture::acmeFile(const std::string& relative) {
    fs::path p = dir / "photos" / relative;
    fs::create_directories(p.parent_path());
    DngSpec spec = gradient_dng(DngLayout::Bayer, 64, 48);
    EXPECT_TRUE(write_dng(p, spec));
    return p.string();
}

void ControllerFixture::openFile(const std::string& path) {
    char camera[256] = "";
    ASSERT_EQ(identify_camera(path.c_str(), camera), 0) << path;
    raw().setFileName(path);
    raw().setCamera(camera);
    raw().setDestinationFile("");
    if (auto d = controller->directoryDefault())
        raw().setSettings(d->keyValueSource());
    else
        raw().resetToDefaults(false);
}

HistoryMO ControllerFixture::record(const std::string& source, const std::string& destination) {
    auto r = controller->addCurrentSettingsToHistoryWithSource(source.empty() ? raw().fileName() : source,
                                                              destination, std::nullopt, &raw());
    EXPECT_TRUE(r.has_value());
    return r ? *r : HistoryMO();
}

std::vector<HistoryMO> ControllerFixture::recordsWithSource(const std::string& source) {
    return controller->persistentStoreCoordinator().fetchWithSourceIn({source});
}

}  // namespace dvk::test
