#pragma once

#include "IndexImage.h"
#include "Palette.h"

#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class QFileDevice;
class AtomicFile;
class QSize;
struct GifFileType;

// Writes an animation of field pictures as a GIF, one frame at a time, so memory stays
// flat however many frames there are. Frames are index pictures in the field's palette, so
// they are stored as they are; after the first, a frame holds only the rectangle that changed and
// is left in place for the next. The file goes through AtomicFile: a previous file at the
// path is replaced only when Finish succeeds, and stays as it was after any failure.
class GifWriter
{
public:
    // Frames of cell values 0..cellValues-1.
    explicit GifWriter(int cellValues = Palette::CellValueCount);
    ~GifWriter(); // without a successful Finish nothing is written
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Starts the file: screen, palette and loop-for-ever extension.
    bool Open(const QString& path, const QSize& size, QString* error = nullptr);
    // The same, written straight to an open device such as stdout, which Finish leaves
    // open; what was written before a failure stays written.
    bool Open(QFileDevice& device, const QSize& size, QString* error = nullptr);
    // The same, handed to `sink`, so that the caller puts the file in place with others.
    // An exception from the sink ends the animation and goes on from the call that wrote.
    using Sink = std::function<void(std::string_view bytes)>;
    bool Open(Sink sink, const QSize& size, QString* error = nullptr);
    // A picture from IndexRenderer::Render of the opened size, shown for
    // delayCentiseconds (0 to 65535).
    bool AddFrame(const IndexImage& frame, int delayCentiseconds, QString* error = nullptr);
    // Ends the file and puts it in place; needs at least one frame.
    bool Finish(QString* error = nullptr);

    int FrameCount() const { return Frames; }

    // On failure the error is the OS reason where there is one ("No space left on
    // device"). After the first failure every call fails with the same error.

private:
    bool Fail(const QString& reason, QString* error);
    // Rethrows what the sink threw, once the animation is discarded.
    bool GifFailed(int code, QString* error);
    void Discard();

    // Refuses a second open, an earlier failure and a size a GIF cannot hold.
    bool CanOpen(const QSize& size, QString* error);
    bool Start(const QSize& size, QString* error);

    // giflib's output function: to the sink or the device.
    static int WriteOut(GifFileType* gif, const unsigned char* bytes, int length);

    std::unique_ptr<AtomicFile> File;
    QString FileError;             // why File failed
    QFileDevice* Device = nullptr; // the device given
    Sink Out;                      // or this
    std::exception_ptr Thrown;     // by Out
    GifFileType* Gif = nullptr;
    int Entries = 0; // of the palette that frames use
    int PaletteSize = 0;
    IndexImage Previous;
    std::vector<std::uint8_t> Indices;
    int Frames = 0;
    QString Error;
};
