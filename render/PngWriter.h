#pragma once

#include <string>

class QImage;

// A toolkit image as PngEncoder's 8-bit RGB PNG (RGBA if it has an alpha channel). Pixels
// are the same as the toolkit's own output; the file decodes faster.
class PngWriter
{
public:
    // The PNG's bytes; empty for an empty image or when memory runs out.
    static std::string Encode(const QImage& image);
};
