#include "PngEncoder.h"

#include "IndexImage.h"
#include "Palette.h"

#include <zlib.h>

#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace
{
void AppendUint32(std::string& out, std::uint32_t value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    out.append(bytes, 4);
}

void AppendChunk(std::string& out, const char* type, const std::string& body)
{
    AppendUint32(out, static_cast<std::uint32_t>(body.size()));
    const std::size_t typed = out.size();
    out.append(type, 4);
    out.append(body);
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + typed);
    AppendUint32(out, static_cast<std::uint32_t>(crc32(0, bytes, uInt(out.size() - typed))));
}

// raw holds each row behind its filter byte. Buffers are left uninitialised: at 760 x 760
// pixels, zeroing them costs a tenth of the deflate.
std::string Finish(const Bytef* raw, std::size_t rawSize, int width, int height, bool alpha)
{
    uLongf deflatedSize = compressBound(uLong(rawSize));
    const std::unique_ptr<Bytef[]> deflated(new Bytef[deflatedSize]);
    if (compress2(deflated.get(), &deflatedSize, raw, uLong(rawSize), 1) != Z_OK)
        throw std::bad_alloc(); // the bound is enough, so only memory can be short

    std::string header;
    AppendUint32(header, static_cast<std::uint32_t>(width));
    AppendUint32(header, static_cast<std::uint32_t>(height));
    header.push_back('\x08');                  // 8 bits per sample
    header.push_back(alpha ? '\x06' : '\x02'); // truecolour with or without alpha
    header.append("\x00\x00\x00", 3);          // deflate, no filter method variant, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    png.reserve(png.size() + deflatedSize + 64);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT",
                std::string(reinterpret_cast<const char*>(deflated.get()), deflatedSize));
    AppendChunk(png, "IEND", std::string());
    return png;
}

void CheckSize(int width, int height)
{
    if (width < 1 || height < 1)
        throw std::invalid_argument("a PNG has at least one pixel");
}
} // namespace

std::string PngEncoder::Encode(const IndexImage& image)
{
    const int width = image.Width();
    const int height = image.Height();
    CheckSize(width, height);
    std::array<std::array<Bytef, 3>, 256> rgb{};
    for (int i = 0; i < Palette::Size; ++i)
    {
        const Palette::Rgb c = Palette::Colour(i);
        rgb[std::size_t(i)] = {c.Red, c.Green, c.Blue};
    }
    const std::size_t lineBytes = 3 * std::size_t(width) + 1;
    const std::size_t rawSize = lineBytes * std::size_t(height);
    const std::unique_ptr<Bytef[]> raw(new Bytef[rawSize]);
    for (int y = 0; y < height; ++y)
    {
        Bytef* line = raw.get() + std::size_t(y) * lineBytes;
        const std::uint8_t* row = image.Row(y);
        // A cell is several pixels high: most rows repeat the one above.
        if (y > 0 && std::memcmp(row, image.Row(y - 1), std::size_t(width)) == 0)
        {
            std::memcpy(line, line - lineBytes, lineBytes);
            continue;
        }
        *line++ = 0; // filter type None
        for (int x = 0; x < width; ++x, line += 3)
            std::memcpy(line, rgb[row[x]].data(), 3);
    }
    return Finish(raw.get(), rawSize, width, height, false);
}

std::string PngEncoder::Encode(const std::uint8_t* pixels, int width, int height,
                               std::size_t stride, bool alpha)
{
    CheckSize(width, height);
    const std::size_t rowBytes = std::size_t(width) * (alpha ? 4 : 3);
    const std::size_t rawSize = (rowBytes + 1) * std::size_t(height);
    const std::unique_ptr<Bytef[]> raw(new Bytef[rawSize]);
    for (int y = 0; y < height; ++y)
    {
        Bytef* line = raw.get() + std::size_t(y) * (rowBytes + 1);
        line[0] = 0;
        std::memcpy(line + 1, pixels + std::size_t(y) * stride, rowBytes);
    }
    return Finish(raw.get(), rawSize, width, height, alpha);
}
