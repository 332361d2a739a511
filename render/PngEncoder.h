#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class IndexImage;

// Encodes 8-bit RGB (or RGBA) PNGs with every row unfiltered and deflated at the fastest
// level. Such a file decodes two to three times faster than one with adaptive filters,
// which matters at start-up (five large button icons) and for the preset dialog (31
// previews decoded each time it opens). Throws std::bad_alloc when memory runs out.
class PngEncoder
{
public:
    // An index picture in the field's palette, as RGB.
    static std::string Encode(const IndexImage& image);
    // Rows of width pixels, 3 bytes each (4 with alpha: straight, not premultiplied), the
    // first byte of row y at pixels + y * stride.
    static std::string Encode(const std::uint8_t* pixels, int width, int height, std::size_t stride,
                              bool alpha);
};
