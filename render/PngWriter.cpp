#include "PngWriter.h"

#include "PngEncoder.h"

#include <QFile>
#include <QImage>
#include <QString>

#include <new>

bool PngWriter::Write(const QImage& image, const QString& path, QString* error)
{
    // PNG keeps straight (not premultiplied) alpha, in RGBA byte order.
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (pixels.isNull())
    {
        if (error)
            *error = QStringLiteral("empty image");
        return false;
    }
    std::string png;
    try
    {
        png = PngEncoder::Encode(pixels.constBits(), pixels.width(), pixels.height(),
                                 static_cast<std::size_t>(pixels.bytesPerLine()), alpha);
    }
    catch (const std::bad_alloc&)
    {
        if (error)
            *error = QStringLiteral("out of memory");
        return false;
    }

    QFile file(path);
    const auto size = static_cast<qint64>(png.size());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(png.data(), size) != size || !file.flush())
    {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
