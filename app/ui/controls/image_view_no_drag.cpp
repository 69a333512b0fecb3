#include "app/ui/controls/image_view_no_drag.h"

#include <cstring>

#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>

#include "app/ui/controls/no_click_through.h"

namespace dvk {

ImageViewNoDrag::ImageViewNoDrag(QWidget* parent) : QWidget(parent) {
    // Drops are not taken here: they reach the window.
    setAcceptDrops(false);
}

void ImageViewNoDrag::setImage(const QImage& image) {
    image_ = image;
    updateGeometry();
    update();
}

QSize ImageViewNoDrag::sizeHint() const { return image_.isNull() ? QSize(256, 128) : image_.size(); }

void ImageViewNoDrag::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (image_.isNull()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(rect(), image_);
}

void ImageViewNoDrag::mousePressEvent(QMouseEvent* event) {
    // Tag 1111: no notification; the click only activates the window.
    activatesWindowInstead(this);
    event->accept();
}

QImage imageFromRgbBytes(const std::vector<std::uint8_t>& rgb, int width, int height) {
    if (rgb.size() < static_cast<std::size_t>(width) * height * 3) return {};
    QImage img(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        std::memcpy(img.scanLine(y), rgb.data() + static_cast<std::size_t>(y) * width * 3,
                    static_cast<std::size_t>(width) * 3);
    return img;
}

}  // namespace dvk
