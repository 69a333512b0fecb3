// ImageViewNoDrag: a view that shows one image scaled to its size (the
// histogram and the gamut diagram). Its tag is 1111: clicks on it post no
// image-view notification. Files dropped on it go on to the window.
#pragma once

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

namespace dvk {

inline constexpr int kQuietImageViewTag = 1111;

class ImageViewNoDrag : public QWidget {
    Q_OBJECT
public:
    explicit ImageViewNoDrag(QWidget* parent = nullptr);

    int tag() const { return kQuietImageViewTag; }
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    // The image's size, shown at that many device-independent pixels.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage image_;
};

// An RGB byte raster (rows of width x 3 bytes) as an image.
QImage imageFromRgbBytes(const std::vector<std::uint8_t>& rgb, int width, int height);

}  // namespace dvk
