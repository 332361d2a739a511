#pragma once

class QImage;
class QString;

// Writes a toolkit image as PngEncoder's 8-bit RGB PNG (RGBA if it has an alpha channel).
// Pixels are the same as the toolkit's own output; the file decodes faster.
class PngWriter
{
public:
    static bool Write(const QImage& image, const QString& path, QString* error = nullptr);
};
