#include "IndexImage.h"

#include <stdexcept>

IndexImage::IndexImage(int width, int height, std::uint8_t fill)
{
    if (width < 0 || height < 0)
        throw std::invalid_argument("an image has no negative side");
    W = width;
    H = height;
    Pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}
