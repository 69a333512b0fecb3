// The main function of test_screens: one QApplication on the offscreen
// platform with two screens, "big" (1600 x 1000 at 0, 0) and "small"
// (1280 x 720 at 1600, 0), whose windows get a frame; user defaults and a
// support folder of the binary's own, removed at the end.
#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtWidgets/QApplication>

int main(int argc, char** argv) {
    const QString home = QDir::temp().filePath(QStringLiteral("dvk-test-screens-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(home);
    const QString config = home + QStringLiteral("/screens.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 2;
    file.write(R"({"windowFrameMargins": true, "screens": [
        {"name": "big", "x": 0, "y": 0, "width": 1600, "height": 1000},
        {"name": "small", "x": 1600, "y": 0, "width": 1280, "height": 720}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toUtf8());
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    QDir(home).removeRecursively();
    return result;
}
