// Images for the preview dialog: JPEG and the TIFF kinds Qt reads through
// QImageReader (converted to sRGB when they carry a profile), CIELab and
// float TIFFs through the colour layer, raw files by their embedded
// thumbnail. Safe to call on any thread.
#pragma once

#include <QImage>
#include <QString>

namespace dvk {

// The image of `path`, no side longer than `maxSide` pixels; a null image
// and the reason in *error when it cannot be shown.
QImage loadPreviewImage(const QString& path, int maxSide, QString* error);

}  // namespace dvk
