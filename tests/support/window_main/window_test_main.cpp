// The main function of the window test binaries: one QApplication (offscreen)
// for every test, with user defaults and a support folder of the binary's own
// under the temporary folder, removed at the end.
#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtWidgets/QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString binary = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    const QByteArray home =
        QDir::temp().filePath(QStringLiteral("dvk-%1-%2").arg(binary).arg(QCoreApplication::applicationPid())).toUtf8();
    QDir().mkpath(QString::fromUtf8(home));
    qputenv("XDG_CONFIG_HOME", home + "/config");
    qputenv("XDG_DATA_HOME", home + "/data");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QDir(QString::fromUtf8(home)).removeRecursively();
    return result;
}
