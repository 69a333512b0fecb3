// One QApplication for every window test (offscreen).
#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtWidgets/QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The user defaults and support folder of the tests are their own.
    const QByteArray home =
        QDir::temp().filePath(QStringLiteral("dvk-panels-%1").arg(QCoreApplication::applicationPid())).toUtf8();
    QDir().mkpath(QString::fromUtf8(home));
    qputenv("XDG_CONFIG_HOME", home + "/config");
    qputenv("XDG_DATA_HOME", home + "/data");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QDir(QString::fromUtf8(home)).removeRecursively();
    return result;
}
