#include "app/ui/controls/display_qimage.h"

#include "app/preview/display_conversion.h"
#include "app/preview/display_image.h"

namespace dvk {

QImage toScreenImage(const DisplayImage& image, DisplayConverter& converter) {
    if (image.width == 0 || image.height == 0) return {};
    QImage out(static_cast<int>(image.width), static_cast<int>(image.height), QImage::Format_RGB32);
    if (out.isNull()) return out;
    converter.convert(image, reinterpret_cast<std::uint32_t*>(out.bits()),
                      static_cast<std::size_t>(out.bytesPerLine()) / 4);
    return out;
}

}  // namespace dvk
