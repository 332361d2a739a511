#include "PngWriter.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>

#include <array>
#include <cstdint>

namespace
{
std::uint32_t Crc32(const QByteArray& bytes)
{
    static const std::array<std::uint32_t, 256> table = []
    {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n)
        {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char byte : bytes)
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void AppendUint32(QByteArray& out, std::uint32_t value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

void AppendChunk(QByteArray& out, const char* type, const QByteArray& body)
{
    AppendUint32(out, static_cast<std::uint32_t>(body.size()));
    const QByteArray typed = QByteArray(type, 4) + body;
    out.append(typed);
    AppendUint32(out, Crc32(typed));
}
} // namespace

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
    const int width = pixels.width();
    const int height = pixels.height();
    const int rowBytes = width * (alpha ? 4 : 3);

    QByteArray raw;
    raw.reserve((rowBytes + 1) * height);
    for (int y = 0; y < height; ++y)
    {
        raw.append('\0'); // filter type None
        raw.append(reinterpret_cast<const char*>(pixels.constScanLine(y)), rowBytes);
    }
    // qCompress gives a zlib stream behind a 4-byte length of its own; PNG wants the stream.
    const QByteArray deflated = qCompress(raw, 1).mid(4);

    QByteArray header;
    AppendUint32(header, static_cast<std::uint32_t>(width));
    AppendUint32(header, static_cast<std::uint32_t>(height));
    header.append('\x08');                  // 8 bits per sample
    header.append(alpha ? '\x06' : '\x02'); // truecolour with or without alpha
    header.append("\x00\x00\x00", 3);       // deflate, no filter method variant, no interlace

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", deflated);
    AppendChunk(png, "IEND", QByteArray());

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(png) != png.size() ||
        !file.flush())
    {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
