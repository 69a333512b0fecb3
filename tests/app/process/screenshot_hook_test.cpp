// dvk FILE with the screenshot hook: the chart shown developed and fitted
// with its histogram, two stops darker through DVK_DEV_SET, and a file that
// cannot be opened ending in exit 1.
#include <gtest/gtest.h>

#include <QtGui/QImage>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "platform/user_defaults.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

struct Shot {
    CommandRun run;
    std::string log;
    QImage image;
    QRect imageRect, histogramRect;
};

// Runs dvk on `file` with the hook into `name` in a home of its own.
Shot screenshot(const TempDir& home, const std::string& file, const std::string& name, const std::string& set = "") {
    // The histogram's channel buttons on, as the user left them.
    UserDefaults defaults((home.path() / "config" / "DVK" / "defaults.plist").string());
    for (const char* key : {"HistogramR", "HistogramG", "HistogramB", "HistogramL"}) defaults.setInteger(key, 1);
    defaults.setBool("KeyboardHelper", true);
    EXPECT_TRUE(defaults.synchronize());
    const fs::path out = home.path() / name;
    const std::string line = "env -u DVK_NO_REDIRECT XDG_DATA_HOME=" + shell_quoted((home.path() / "data").string()) +
                             " XDG_CONFIG_HOME=" + shell_quoted((home.path() / "config").string()) +
                             " QT_QPA_PLATFORM=offscreen DVK_DEV_SCREENSHOT=" + shell_quoted(out.string()) +
                             (set.empty() ? std::string() : " DVK_DEV_SET=" + shell_quoted(set)) + " timeout 150 " +
                             shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/dvk") + " " + shell_quoted(file);
    Shot s;
    s.run = run_command(line);
    std::ifstream log(home.path() / "data" / "DVK" / "DVK.log");
    s.log.assign(std::istreambuf_iterator<char>(log), {});
    if (s.run.status != 0) return s;
    s.image.load(QString::fromStdString(out.string()));
    std::ifstream rects(out.string() + ".rects");
    std::string word;
    int x, y, w, h;
    while (rects >> word >> x >> y >> w >> h) (word == "imageView" ? s.imageRect : s.histogramRect) = QRect(x, y, w, h);
    return s;
}

double meanLuminance(const QImage& img, QRect r) {
    double sum = 0;
    long n = 0;
    for (int y = r.top(); y <= r.bottom(); y += 2)
        for (int x = r.left(); x <= r.right(); x += 2, ++n) sum += qGray(img.pixel(x, y));
    return n ? sum / n : 0;
}

TEST(ScreenshotHook, TheChartDevelopedFittedAndTwoStopsDarker) {
    TempDir home;
    const std::string chart = (testdata_dir() / "raw" / "colorchart.dng").string();
    const Shot normal = screenshot(home, chart, "normal.png");
    ASSERT_EQ(normal.run.status, 0) << normal.log;
    ASSERT_FALSE(normal.image.isNull());
    ASSERT_TRUE(normal.image.rect().contains(normal.imageRect)) << normal.imageRect.width();
    ASSERT_TRUE(normal.image.rect().contains(normal.histogramRect));
    // Fitted: the whole 3:2 image is on show.
    EXPECT_NEAR(double(normal.imageRect.width()) / normal.imageRect.height(), 1734.0 / 1156.0, 0.02);
    // Many colours: the chart's patches.
    std::set<QRgb> colours;
    for (int y = normal.imageRect.top(); y <= normal.imageRect.bottom(); y += 4)
        for (int x = normal.imageRect.left(); x <= normal.imageRect.right(); x += 4)
            colours.insert(normal.image.pixel(x, y) & 0xF8F8F8);
    EXPECT_GT(colours.size(), 200u);
    // Bars: light columns in the histogram's lower half.
    int bars = 0;
    for (int x = 0; x < normal.histogramRect.width(); ++x)
        bars += qGray(normal.image.pixel(normal.histogramRect.left() + x,
                                         normal.histogramRect.top() + normal.histogramRect.height() * 3 / 4)) > 100;
    EXPECT_GT(bars, 10);

    // Two stops down through the settings hook, written as PPM.
    const Shot darker = screenshot(home, chart, "darker.ppm", "exposure=-2");
    ASSERT_EQ(darker.run.status, 0) << darker.log;
    ASSERT_FALSE(darker.image.isNull());
    EXPECT_EQ(darker.imageRect, normal.imageRect);
    EXPECT_LT(meanLuminance(darker.image, darker.imageRect), 0.7 * meanLuminance(normal.image, normal.imageRect));
    std::ifstream ppm((home.path() / "darker.ppm").string(), std::ios::binary);
    std::string magic;
    ppm >> magic;
    EXPECT_EQ(magic, "P6");
}

TEST(ScreenshotHook, AFileThatCannotBeOpenedExitsOne) {
    TempDir home;
    std::ofstream(home.path() / "bad.dng") << "not a raw file";
    const Shot bad = screenshot(home, (home.path() / "bad.dng").string(), "bad.png");
    EXPECT_EQ(bad.run.status, 1) << bad.log;
    EXPECT_NE(bad.log.find("DVK_DEV_SCREENSHOT: the file could not be opened"), std::string::npos) << bad.log;
    EXPECT_FALSE(fs::exists(home.path() / "bad.png"));
}

}  // namespace
}  // namespace dvk::test
