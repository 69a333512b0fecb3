#include "app/ui/windows/preview_loader.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include <cstring>
#include <string>

#include "app/preview/preview_image.h"

namespace dvk {

namespace {

QImage fromBitmap(const PreviewBitmap& b) {
    QImage image(int(b.width), int(b.height), QImage::Format_RGB888);
    for (unsigned y = 0; y < b.height; ++y)
        std::memcpy(image.scanLine(int(y)), b.rgb.data() + std::size_t(y) * b.width * 3, std::size_t(b.width) * 3);
    return image;
}

QImage fitted(QImage image, int maxSide) {
    if (image.width() > maxSide || image.height() > maxSide)
        image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

// Shown in sRGB, whatever the file's profile says.
QImage inSrgb(QImage image) {
    const QColorSpace cs = image.colorSpace();
    if (cs.isValid() && cs != QColorSpace(QColorSpace::SRgb)) {
        if (image.depth() < 32) image = image.convertToFormat(QImage::Format_RGB32);
        image.convertToColorSpace(QColorSpace::SRgb);
    }
    return image;
}

QImage readWithQt(const QString& path, int maxSide, QString* error) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > maxSide || size.height() > maxSide))
        reader.setScaledSize(size.scaled(maxSide, maxSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull()) {
        if (error) *error = reader.errorString();
        return {};
    }
    return inSrgb(fitted(image, maxSide));
}

QImage rawThumbnailImage(const QString& path, int maxSide, QString* error) {
    std::string why;
    auto thumb = rawThumbnail(path.toStdString(), &why);
    if (!thumb) {
        if (error) *error = QString::fromStdString(why);
        return {};
    }
    QImage image;
    if (thumb->isJpeg) {
        image = QImage::fromData(thumb->jpeg.data(), int(thumb->jpeg.size()), "JPEG");
        if (image.isNull()) {
            if (error) *error = QStringLiteral("the embedded preview cannot be decoded");
            return {};
        }
        image = inSrgb(image);
    } else {
        image = fromBitmap(thumb->bitmap);
    }
    if (thumb->quarterTurns) image = image.transformed(QTransform().rotate(90.0 * thumb->quarterTurns));
    return fitted(image, maxSide);
}

}  // namespace

QImage loadPreviewImage(const QString& path, int maxSide, QString* error) {
    const QString ext = QFileInfo(path).suffix().toLower();
    const std::string file = path.toStdString();
    const bool tiff = ext == "tif" || ext == "tiff";
    if (tiff && isColourTiff(file)) {
        std::string why;
        auto bitmap = decodeColourTiff(file, unsigned(maxSide), &why);
        if (!bitmap && error) *error = QString::fromStdString(why);
        return bitmap ? fromBitmap(*bitmap) : QImage();
    }
    if (tiff || ext == "jpg" || ext == "jpeg" || ext == "png") return readWithQt(path, maxSide, error);
    // Anything else is taken for a raw file; failing that, for an image.
    QString rawError;
    QImage image = rawThumbnailImage(path, maxSide, &rawError);
    if (!image.isNull()) return image;
    image = readWithQt(path, maxSide, nullptr);
    if (image.isNull() && error) *error = rawError;
    return image;
}

}  // namespace dvk
