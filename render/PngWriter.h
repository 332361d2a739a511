#pragma once

class QImage;
class QString;

// Writes an image as an 8-bit RGB PNG (RGBA if it has an alpha channel) with every row
// unfiltered and deflated at the fastest level. Such a file decodes two to three times
// faster than the toolkit's own output (adaptive filters), which matters at start-up
// (five large button icons) and for the preset dialog (31 previews decoded each time it
// opens). Pixels are the same either way.
class PngWriter
{
public:
    static bool Write(const QImage& image, const QString& path, QString* error = nullptr);
};
