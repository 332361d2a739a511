#include "GifWriter.h"

#include "FieldRenderer.h"

#include <QColor>
#include <QRect>
#include <QSaveFile>
#include <QSize>

#include <gif_lib.h>

#include <array>
#include <cstring>

namespace
{
constexpr int PaletteSize = 16; // GIF palettes come in powers of two
constexpr int PenIndex = FieldRenderer::CellValueCount;
constexpr int BackgroundIndex = PenIndex + 1;

std::array<QColor, PaletteSize> PaletteColours()
{
    std::array<QColor, PaletteSize> colours;
    for (int v = 0; v < FieldRenderer::CellValueCount; ++v)
        colours[v] = FieldRenderer::CellColor(v);
    colours[PenIndex] = FieldRenderer::PenColor();
    colours[BackgroundIndex] = FieldRenderer::BackgroundColor();
    colours[PaletteSize - 1] = FieldRenderer::PenColor(); // unused
    return colours;
}

std::uint32_t PixelKey(const std::uint8_t* rgb)
{
    return std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | rgb[2];
}

// Packed RGB to palette index: the last pixel's colour first, since runs of one colour are
// the rule, else a collision-free multiplicative hash. On a 760 x 760 frame this takes about
// 0.6 ms for a real field and 0.8 ms for random cells, where searching the palette for each
// new colour takes 0.5 and 1.9 ms.
class PaletteIndex
{
public:
    PaletteIndex()
    {
        const auto colours = PaletteColours();
        for (std::uint32_t multiplier = 0x9E3779B1u;; multiplier += 2)
        {
            Keys.fill(NoKey);
            bool collision = false;
            for (int i = 0; i < PaletteSize - 1 && !collision; ++i)
            {
                const std::uint32_t key = colours[i].rgb() & 0xFFFFFFu;
                const std::uint32_t slot = (key * multiplier) >> 24;
                collision = Keys[slot] != NoKey && Keys[slot] != key;
                if (Keys[slot] == NoKey)
                {
                    Keys[slot] = key;
                    Indices[slot] = static_cast<std::uint8_t>(i);
                }
            }
            if (!collision)
            {
                Multiplier = multiplier;
                return;
            }
        }
    }

    // Maps count pixels; false if any is not a palette colour.
    bool Map(const std::uint8_t* rgb, int count, std::uint8_t* out) const
    {
        bool known = true;
        std::uint32_t lastKey = NoKey;
        std::uint8_t lastIndex = 0;
        for (int x = 0; x < count; ++x, rgb += 3)
        {
            const std::uint32_t key = PixelKey(rgb);
            if (key != lastKey)
            {
                const std::uint32_t slot = (key * Multiplier) >> 24;
                known &= Keys[slot] == key;
                lastKey = key;
                lastIndex = Indices[slot];
            }
            out[x] = lastIndex;
        }
        return known;
    }

private:
    static constexpr std::uint32_t NoKey = 0xFFFFFFFFu; // above every 24-bit key
    std::array<std::uint32_t, 256> Keys{};
    std::array<std::uint8_t, 256> Indices{};
    std::uint32_t Multiplier = 0;
};

const PaletteIndex& Palette()
{
    static const PaletteIndex palette;
    return palette;
}

// Whether pixels from..to-1 of two RGB rows differ.
bool PixelsDiffer(const std::uint8_t* a, const std::uint8_t* b, int from, int to)
{
    return std::memcmp(a + 3 * from, b + 3 * from, 3 * std::size_t(to - from)) != 0;
}

// The smallest rectangle holding every pixel that differs; empty when none does.
QRect ChangedRect(const QImage& previous, const QImage& current)
{
    const int width = current.width();
    const int height = current.height();
    const std::size_t rowBytes = 3 * std::size_t(width);
    auto sameRow = [&](int y)
    { return std::memcmp(previous.constScanLine(y), current.constScanLine(y), rowBytes) == 0; };

    int top = 0;
    while (top < height && sameRow(top))
        ++top;
    if (top == height)
        return QRect();
    int bottom = height - 1;
    while (sameRow(bottom))
        --bottom;

    int left = width;
    int right = -1;
    for (int y = top; y <= bottom; ++y)
    {
        const std::uint8_t* a = previous.constScanLine(y);
        const std::uint8_t* b = current.constScanLine(y);
        // Only columns outside the rectangle so far can widen it; one memcmp usually
        // shows they are the same.
        if (left > 0 && PixelsDiffer(a, b, 0, left))
        {
            int x = 0;
            while (!PixelsDiffer(a, b, x, x + 1))
                ++x;
            left = x;
        }
        if (right < width - 1 && PixelsDiffer(a, b, right + 1, width))
        {
            int x = width - 1;
            while (!PixelsDiffer(a, b, x, x + 1))
                --x;
            right = x;
        }
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The file is unbuffered because Qt's buffer turns a short write into an error without
// the OS reason; written straight, the retry of the rest fails and the file names it.
int WriteToFile(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* file = static_cast<QSaveFile*>(gif->UserData);
    const auto* data = reinterpret_cast<const char*>(bytes);
    qint64 done = 0;
    while (done < length)
    {
        const qint64 written = file->write(data + done, length - done);
        if (written <= 0)
            break;
        done += written;
    }
    return static_cast<int>(done);
}
} // namespace

GifWriter::GifWriter() = default;

GifWriter::~GifWriter()
{
    Discard();
}

bool GifWriter::Open(const QString& path, const QSize& size, QString* error)
{
    if (!Error.isEmpty())
        return Fail(Error, error);
    if (File)
        return Fail(QStringLiteral("the animation is already open"), error);
    if (size.width() < 1 || size.height() < 1 || size.width() > 0xFFFF || size.height() > 0xFFFF)
        return Fail(QStringLiteral("a GIF is 1 to 65535 pixels wide and high"), error);

    File = std::make_unique<QSaveFile>(path);
    if (!File->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(File->errorString(), error);
    int code = E_GIF_SUCCEEDED;
    Gif = EGifOpen(File.get(), WriteToFile, &code);
    if (Gif == nullptr)
        return GifFailed(code, error);
    EGifSetGifVersion(Gif, true); // the delays and the loop need GIF89a

    const auto colours = PaletteColours();
    GifColorType entries[PaletteSize];
    for (int i = 0; i < PaletteSize; ++i)
        entries[i] = GifColorType{static_cast<GifByteType>(colours[i].red()),
                                  static_cast<GifByteType>(colours[i].green()),
                                  static_cast<GifByteType>(colours[i].blue())};
    ColorMapObject* map = GifMakeMapObject(PaletteSize, entries);
    if (map == nullptr)
        return GifFailed(E_GIF_ERR_NOT_ENOUGH_MEM, error);
    const int screen = EGifPutScreenDesc(Gif, size.width(), size.height(), 8, BackgroundIndex, map);
    GifFreeMapObject(map);
    if (screen == GIF_ERROR)
        return GifFailed(Gif->Error, error);

    // Application extension NETSCAPE2.0, sub-block 1: repeat count, 0 = for ever.
    const GifByteType loop[3] = {1, 0, 0};
    if (EGifPutExtensionLeader(Gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(Gif, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(Gif, 3, loop) == GIF_ERROR ||
        EGifPutExtensionTrailer(Gif) == GIF_ERROR)
        return GifFailed(Gif->Error, error);

    Previous = QImage();
    Indices.assign(std::size_t(size.width()) * std::size_t(size.height()), 0);
    return true;
}

bool GifWriter::AddFrame(const QImage& frame, int delayCentiseconds, QString* error)
{
    if (!Error.isEmpty())
        return Fail(Error, error);
    if (Gif == nullptr)
        return Fail(QStringLiteral("the animation is not open"), error);
    if (delayCentiseconds < 0 || delayCentiseconds > 0xFFFF)
        return Fail(QStringLiteral("a frame delay is 0 to 65535 centiseconds"), error);
    if (frame.width() != Gif->SWidth || frame.height() != Gif->SHeight)
        return Fail(QStringLiteral("frame of %1 x %2 pixels in an animation of %3 x %4")
                        .arg(frame.width())
                        .arg(frame.height())
                        .arg(Gif->SWidth)
                        .arg(Gif->SHeight),
                    error);
    const QImage current = frame.convertToFormat(QImage::Format_RGB888);

    QRect rect = Previous.isNull() ? current.rect() : ChangedRect(Previous, current);
    // An unchanged picture still needs a frame to carry its delay: one pixel, as it was.
    if (rect.isEmpty())
        rect = QRect(0, 0, 1, 1);
    const int width = rect.width();
    for (int y = 0; y < rect.height(); ++y)
    {
        const std::uint8_t* rgb = current.constScanLine(rect.top() + y) + 3 * rect.left();
        if (!Palette().Map(rgb, width, Indices.data() + std::size_t(y) * width))
            return Fail(QStringLiteral("row %1 has a colour outside the field's palette")
                            .arg(rect.top() + y),
                        error);
    }

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT; // the next frame draws over this one
    control.UserInputFlag = false;
    control.DelayTime = delayCentiseconds;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const auto extensionLength = static_cast<int>(EGifGCBToExtension(&control, extension));
    if (EGifPutExtension(Gif, GRAPHICS_EXT_FUNC_CODE, extensionLength, extension) == GIF_ERROR ||
        EGifPutImageDesc(Gif, rect.left(), rect.top(), width, rect.height(), false, nullptr) ==
            GIF_ERROR ||
        EGifPutLine(Gif, Indices.data(), width * rect.height()) == GIF_ERROR)
        return GifFailed(Gif->Error, error);

    Previous = current;
    ++Frames;
    return true;
}

bool GifWriter::Finish(QString* error)
{
    if (!Error.isEmpty())
        return Fail(Error, error);
    if (Gif == nullptr)
        return Fail(QStringLiteral("the animation is not open"), error);
    if (Frames == 0)
        return Fail(QStringLiteral("an animation needs at least one frame"), error);

    int code = E_GIF_SUCCEEDED;
    GifFileType* gif = Gif;
    Gif = nullptr; // closed, and freed, whatever the outcome
    if (EGifCloseFile(gif, &code) == GIF_ERROR)
        return GifFailed(code, error);
    if (!File->commit())
        return Fail(File->errorString(), error);
    File.reset();
    Previous = QImage();
    return true;
}

bool GifWriter::Fail(const QString& reason, QString* error)
{
    if (Error.isEmpty())
        Error = reason;
    Discard();
    if (error)
        *error = Error;
    return false;
}

bool GifWriter::GifFailed(int code, QString* error)
{
    // A failed write shows up in giflib only as a short count; the file knows why.
    if (File && File->error() != QFileDevice::NoError)
        return Fail(File->errorString(), error);
    const char* text = GifErrorString(code);
    return Fail(text ? QString::fromUtf8(text) : QStringLiteral("GIF error %1").arg(code), error);
}

void GifWriter::Discard()
{
    if (Gif != nullptr)
    {
        int code = E_GIF_SUCCEEDED;
        EGifCloseFile(Gif, &code);
        Gif = nullptr;
    }
    if (File)
        File->cancelWriting();
    File.reset();
    Previous = QImage();
}
