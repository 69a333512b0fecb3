// The screenshot hook (DVK_DEV_SCREENSHOT, DVK_DEV_SET): opens the file named
// on the command line, waits for its preview and an idle apply worker,
// applies the settings through apply:, waits again, grabs the main window
// into the file (PNG, or binary PPM for ".ppm") with its ".rects" beside it,
// and quits: exit 0, or 1 when the file fails to open or no preview comes in
// 120 s.
#pragma once

#include <string>

#include <QtCore/QObject>
#include <QtCore/QTimer>

namespace dvk {

class Controller;
class MainWindow;
struct DevHooks;

class DevScreenshot : public QObject {
    Q_OBJECT
public:
    DevScreenshot(Controller& controller, MainWindow& window, const DevHooks& hooks, QObject* parent = nullptr);
    // Starts with the file named on the command line ("" : none, exit 1).
    void start(const std::string& file);

private:
    void opened(int result);
    void whenSettled(std::function<void()> next);
    void grab();
    void fail(const char* why);

    Controller& controller_;
    MainWindow& window_;
    std::string path_, settings_;
    QTimer deadline_, poll_;
    std::function<void()> next_;
    bool done_ = false;
};

// Writes `image` as binary PPM (P6); false when the file cannot be written.
bool writePpm(const QImage& image, const std::string& path);

}  // namespace dvk
