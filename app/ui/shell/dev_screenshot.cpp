#include "app/ui/shell/dev_screenshot.h"

#include <fstream>

#include <QtCore/QCoreApplication>
#include <QtGui/QImage>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/hooks/dev_hooks.h"
#include "app/preview/preview_controller.h"
#include "app/ui/main_window/main_window.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/log.h"

namespace dvk {

bool writePpm(const QImage& image, const std::string& path) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << rgb.width() << " " << rgb.height() << "\n255\n";
    for (int y = 0; y < rgb.height(); ++y)
        out.write(reinterpret_cast<const char*>(rgb.constScanLine(y)), static_cast<std::streamsize>(rgb.width()) * 3);
    return static_cast<bool>(out);
}

DevScreenshot::DevScreenshot(Controller& controller, MainWindow& window, const DevHooks& hooks, QObject* parent)
    : QObject(parent), controller_(controller), window_(window), path_(hooks.screenshot), settings_(hooks.set) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { fail("no preview within 120 s"); });
    poll_.setInterval(20);
    connect(&poll_, &QTimer::timeout, this, [this] {
        PreviewController& pc = controller_.preview();
        if (pc.applyWorker().busy() || !pc.rawProcessor().isNotInProgress()) return;
        poll_.stop();
        auto next = std::move(next_);
        next_ = nullptr;
        if (next) next();
    });
}

void DevScreenshot::fail(const char* why) {
    if (done_) return;
    done_ = true;
    log_line("DVK_DEV_SCREENSHOT: %s", why);
    poll_.stop();
    deadline_.stop();
    QCoreApplication::exit(1);
}

void DevScreenshot::start(const std::string& file) {
    if (file.empty()) {
        QTimer::singleShot(0, this, [this] { fail("no file named on the command line"); });
        return;
    }
    deadline_.start(120000);
    controller_.openCommandLineFile(file, [this](int result) { opened(result); });
}

void DevScreenshot::whenSettled(std::function<void()> next) {
    next_ = std::move(next);
    poll_.start();
}

void DevScreenshot::opened(int result) {
    if (result != 0) {
        fail("the file could not be opened");
        return;
    }
    whenSettled([this] {
        PreviewController& pc = controller_.preview();
        for (const auto& [key, value] : parseDevSettings(settings_)) {
            pc.setSetting(key, SettingsValue(value));
            pc.apply(ApplySender::none());
        }
        whenSettled([this] { grab(); });
    });
}

void DevScreenshot::grab() {
    if (done_) return;
    deadline_.stop();
    QCoreApplication::processEvents();
    const QImage image = window_.grabWindow();
    const bool ppm = path_.size() > 4 && path_.compare(path_.size() - 4, 4, ".ppm") == 0;
    const bool written = ppm ? writePpm(image, path_) : image.save(QString::fromStdString(path_), "PNG");
    const QRect i = window_.visibleImageRect(), h = window_.histogramRect();
    std::ofstream rects(path_ + ".rects");
    rects << devScreenshotRects(i.x(), i.y(), i.width(), i.height(), h.x(), h.y(), h.width(), h.height());
    if (!written || !rects) {
        fail("the screenshot could not be written");
        return;
    }
    done_ = true;
    log_line("DVK_DEV_SCREENSHOT: %s written", path_.c_str());
    if (controller_.ui())
        controller_.ui()->terminate();
    else
        QCoreApplication::exit(0);
}

}  // namespace dvk
