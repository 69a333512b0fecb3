// A DisplayImage on the screen: its colours converted to the screen's
// profile into a QImage (32-bit RGB), in bands.
#pragma once

#include <QtGui/QImage>

namespace dvk {

struct DisplayImage;
class DisplayConverter;

QImage toScreenImage(const DisplayImage& image, DisplayConverter& converter);

}  // namespace dvk
