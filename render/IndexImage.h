#pragma once

#include <cstdint>
#include <vector>

// A picture as palette indices, one byte a pixel, rows packed.
class IndexImage
{
public:
    IndexImage() = default;
    IndexImage(int width, int height, std::uint8_t fill = 0);

    int Width() const { return W; }
    int Height() const { return H; }
    bool IsEmpty() const { return W == 0 || H == 0; }

    std::uint8_t* Row(int y) { return Pixels.data() + static_cast<std::size_t>(y) * W; }
    const std::uint8_t* Row(int y) const { return Pixels.data() + static_cast<std::size_t>(y) * W; }
    std::uint8_t& At(int x, int y) { return Row(y)[x]; }
    std::uint8_t At(int x, int y) const { return Row(y)[x]; }

    bool operator==(const IndexImage& other) const
    {
        return W == other.W && H == other.H && Pixels == other.Pixels;
    }
    bool operator!=(const IndexImage& other) const { return !(*this == other); }

private:
    int W = 0;
    int H = 0;
    std::vector<std::uint8_t> Pixels;
};
