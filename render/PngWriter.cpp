#include "PngWriter.h"

#include "PngEncoder.h"

#include <QImage>

#include <new>

std::string PngWriter::Encode(const QImage& image)
{
    // PNG keeps straight (not premultiplied) alpha, in RGBA byte order.
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (pixels.isNull())
        return {};
    try
    {
        return PngEncoder::Encode(pixels.constBits(), pixels.width(), pixels.height(),
                                  static_cast<std::size_t>(pixels.bytesPerLine()), alpha);
    }
    catch (const std::bad_alloc&)
    {
        return {};
    }
}
