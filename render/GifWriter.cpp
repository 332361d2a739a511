#include "GifWriter.h"

#include "AtomicFile.h"
#include "Palette.h"

#include <QFile>
#include <QRect>
#include <QSize>

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace
{
// GIF palettes come in powers of two: 16 entries for the window's colours, 64 beyond.
int PaletteSizeFor(int cellValues)
{
    int size = 2;
    while (size < Palette::EntriesFor(cellValues))
        size *= 2;
    return size;
}

// The smallest rectangle holding every pixel that differs; empty when none does.
QRect ChangedRect(const IndexImage& previous, const IndexImage& current)
{
    const int width = current.Width();
    const int height = current.Height();
    auto sameRow = [&](int y)
    { return std::memcmp(previous.Row(y), current.Row(y), std::size_t(width)) == 0; };

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
        const std::uint8_t* a = previous.Row(y);
        const std::uint8_t* b = current.Row(y);
        // Only columns outside the rectangle so far can widen it; one memcmp usually
        // shows they are the same.
        if (left > 0 && std::memcmp(a, b, std::size_t(left)) != 0)
        {
            int x = 0;
            while (a[x] == b[x])
                ++x;
            left = x;
        }
        if (right < width - 1 &&
            std::memcmp(a + right + 1, b + right + 1, std::size_t(width - 1 - right)) != 0)
        {
            int x = width - 1;
            while (a[x] == b[x])
                --x;
            right = x;
        }
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

// The file is unbuffered because Qt's buffer turns a short write into an error without
// the OS reason; written straight, the retry of the rest fails and the file names it.
int GifWriter::WriteOut(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* writer = static_cast<GifWriter*>(gif->UserData);
    if (writer == nullptr)
        return length; // discarded: nothing more goes out
    const auto* data = reinterpret_cast<const char*>(bytes);
    if (writer->File)
    {
        try
        {
            writer->File->Write(std::string_view(data, static_cast<std::size_t>(length)));
            return length;
        }
        catch (const AtomicFile::Failure& failure)
        {
            writer->FileError = QString::fromStdString(failure.Reason());
            return 0;
        }
    }
    if (writer->Out)
    {
        try
        {
            writer->Out(std::string_view(data, static_cast<std::size_t>(length)));
            return length;
        }
        catch (...)
        {
            writer->Thrown = std::current_exception();
            return 0;
        }
    }
    qint64 done = 0;
    while (done < length)
    {
        const qint64 written = writer->Device->write(data + done, length - done);
        if (written <= 0)
            break;
        done += written;
    }
    return static_cast<int>(done);
}

GifWriter::GifWriter(int cellValues)
    : Entries(Palette::EntriesFor(cellValues)), PaletteSize(PaletteSizeFor(cellValues))
{
}

GifWriter::~GifWriter()
{
    Discard();
}

bool GifWriter::CanOpen(const QSize& size, QString* error)
{
    if (!Error.isEmpty())
        return Fail(Error, error);
    if (Device != nullptr || Out || File)
        return Fail(QStringLiteral("the animation is already open"), error);
    if (size.width() < 1 || size.height() < 1 || size.width() > 0xFFFF || size.height() > 0xFFFF)
        return Fail(QStringLiteral("a GIF is 1 to 65535 pixels wide and high"), error);
    return true;
}

bool GifWriter::Open(const QString& path, const QSize& size, QString* error)
{
    if (!CanOpen(size, error))
        return false;

    try
    {
        File = std::make_unique<AtomicFile>(QFile::encodeName(path).toStdString());
    }
    catch (const AtomicFile::Failure& failure)
    {
        return Fail(QString::fromStdString(failure.Reason()), error);
    }
    return Start(size, error);
}

bool GifWriter::Open(QFileDevice& device, const QSize& size, QString* error)
{
    if (!CanOpen(size, error))
        return false;
    Device = &device;
    return Start(size, error);
}

bool GifWriter::Open(Sink sink, const QSize& size, QString* error)
{
    if (!CanOpen(size, error))
        return false;
    Out = std::move(sink);
    return Start(size, error);
}

bool GifWriter::Start(const QSize& size, QString* error)
{
    int code = E_GIF_SUCCEEDED;
    Gif = EGifOpen(this, WriteOut, &code);
    if (Gif == nullptr)
        return GifFailed(code, error);
    EGifSetGifVersion(Gif, true); // the delays and the loop need GIF89a

    std::vector<GifColorType> entries(static_cast<std::size_t>(PaletteSize));
    for (int i = 0; i < PaletteSize; ++i)
    {
        // Spare entries repeat the pen; no frame uses them.
        const Palette::Rgb c = Palette::Colour(i < Entries ? i : Palette::PenIndex);
        entries[static_cast<std::size_t>(i)] = GifColorType{c.Red, c.Green, c.Blue};
    }
    ColorMapObject* map = GifMakeMapObject(PaletteSize, entries.data());
    if (map == nullptr)
        return GifFailed(E_GIF_ERR_NOT_ENOUGH_MEM, error);
    const int screen =
        EGifPutScreenDesc(Gif, size.width(), size.height(), 8, Palette::BackgroundIndex, map);
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

    Previous = IndexImage();
    Indices.assign(std::size_t(size.width()) * std::size_t(size.height()), 0);
    return true;
}

bool GifWriter::AddFrame(const IndexImage& frame, int delayCentiseconds, QString* error)
{
    if (!Error.isEmpty())
        return Fail(Error, error);
    if (Gif == nullptr)
        return Fail(QStringLiteral("the animation is not open"), error);
    if (delayCentiseconds < 0 || delayCentiseconds > 0xFFFF)
        return Fail(QStringLiteral("a frame delay is 0 to 65535 centiseconds"), error);
    if (frame.Width() != Gif->SWidth || frame.Height() != Gif->SHeight)
        return Fail(QStringLiteral("frame of %1 x %2 pixels in an animation of %3 x %4")
                        .arg(frame.Width())
                        .arg(frame.Height())
                        .arg(Gif->SWidth)
                        .arg(Gif->SHeight),
                    error);
    QRect rect = Previous.IsEmpty() ? QRect(0, 0, frame.Width(), frame.Height())
                                    : ChangedRect(Previous, frame);
    // An unchanged picture still needs a frame to carry its delay: one pixel, as it was.
    if (rect.isEmpty())
        rect = QRect(0, 0, 1, 1);
    const int width = rect.width();
    for (int y = 0; y < rect.height(); ++y)
    {
        const std::uint8_t* row = frame.Row(rect.top() + y) + rect.left();
        if (std::any_of(row, row + width, [this](std::uint8_t i) { return i >= PaletteSize; }))
            return Fail(QStringLiteral("row %1 has an index outside the field's palette")
                            .arg(rect.top() + y),
                        error);
        std::memcpy(Indices.data() + std::size_t(y) * width, row, std::size_t(width));
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

    Previous = frame;
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
    if (File)
    {
        try
        {
            File->Commit();
        }
        catch (const AtomicFile::Failure& failure)
        {
            return Fail(QString::fromStdString(failure.Reason()), error);
        }
    }
    File.reset();
    Device = nullptr;
    Out = nullptr;
    Previous = IndexImage();
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
    if (Thrown)
    {
        const std::exception_ptr thrown = Thrown;
        Thrown = nullptr;
        Fail(QStringLiteral("the output failed"), nullptr);
        std::rethrow_exception(thrown);
    }
    // A failed write shows up in giflib only as a short count; the file knows why.
    if (!FileError.isEmpty())
        return Fail(FileError, error);
    if (Device != nullptr && Device->error() != QFileDevice::NoError)
        return Fail(Device->errorString(), error);
    const char* text = GifErrorString(code);
    return Fail(text ? QString::fromUtf8(text) : QStringLiteral("GIF error %1").arg(code), error);
}

void GifWriter::Discard()
{
    if (Gif != nullptr)
    {
        int code = E_GIF_SUCCEEDED;
        Gif->UserData = nullptr;
        EGifCloseFile(Gif, &code);
        Gif = nullptr;
    }
    File.reset(); // its temporary file goes
    Device = nullptr;
    Out = nullptr;
    Previous = IndexImage();
}
