#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QVector>

#include <gif_lib.h>

#include <cstring>

// An animated GIF read back with giflib's own reader, every frame composited on the
// canvas as a viewer shows it (disposal included), so tests compare what people see.
struct DecodedGif
{
    QString Error;          // empty when the file decoded
    QVector<QImage> Frames; // RGB888, the whole canvas after each frame
    QVector<QRect> Rects;   // the part each frame stores
    QVector<int> Delays;    // centiseconds
    QVector<int> Disposals;
    int LoopCount = -1; // from the NETSCAPE2.0 extension; 0 = for ever, -1 = none
};

inline int GifLoopCount(const ExtensionBlock* blocks, int count)
{
    for (int i = 0; i + 1 < count; ++i)
    {
        const ExtensionBlock& app = blocks[i];
        const ExtensionBlock& sub = blocks[i + 1];
        if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
            std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0 &&
            sub.Function == CONTINUE_EXT_FUNC_CODE && sub.ByteCount == 3 && sub.Bytes[0] == 1)
            return sub.Bytes[1] | sub.Bytes[2] << 8;
    }
    return -1;
}

inline DecodedGif DecodeGif(const QString& path)
{
    DecodedGif result;
    int code = D_GIF_SUCCEEDED;
    GifFileType* gif = DGifOpenFileName(path.toLocal8Bit().constData(), &code);
    if (gif == nullptr)
    {
        result.Error = QString::fromUtf8(GifErrorString(code));
        return result;
    }
    if (DGifSlurp(gif) == GIF_ERROR)
    {
        result.Error = QString::fromUtf8(GifErrorString(gif->Error));
        DGifCloseFile(gif, &code);
        return result;
    }

    const QRect screen(0, 0, gif->SWidth, gif->SHeight);
    QImage canvas(screen.size(), QImage::Format_RGB888);
    const ColorMapObject* global = gif->SColorMap;
    auto colour = [](const ColorMapObject* map, int index)
    {
        if (map == nullptr || index >= map->ColorCount)
            return qRgb(0, 0, 0);
        const GifColorType& c = map->Colors[index];
        return qRgb(c.Red, c.Green, c.Blue);
    };
    canvas.fill(colour(global, gif->SBackGroundColor));

    for (int i = 0; i < gif->ImageCount && result.Error.isEmpty(); ++i)
    {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& desc = image.ImageDesc;
        const QRect rect(desc.Left, desc.Top, desc.Width, desc.Height);
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &control);
        if (result.LoopCount < 0)
            result.LoopCount = GifLoopCount(image.ExtensionBlocks, image.ExtensionBlockCount);
        if (!screen.contains(rect) || desc.Interlace)
        {
            result.Error = QStringLiteral("frame %1: outside the screen or interlaced").arg(i);
            break;
        }

        const QImage before = canvas;
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : global;
        for (int y = 0; y < rect.height(); ++y)
        {
            uchar* line = canvas.scanLine(rect.top() + y) + 3 * rect.left();
            for (int x = 0; x < rect.width(); ++x, line += 3)
            {
                const int index = image.RasterBits[y * rect.width() + x];
                if (index == control.TransparentColor)
                    continue;
                const QRgb rgb = colour(map, index);
                line[0] = static_cast<uchar>(qRed(rgb));
                line[1] = static_cast<uchar>(qGreen(rgb));
                line[2] = static_cast<uchar>(qBlue(rgb));
            }
        }
        result.Frames.append(canvas);
        result.Rects.append(rect);
        result.Delays.append(control.DelayTime);
        result.Disposals.append(control.DisposalMode);

        if (control.DisposalMode == DISPOSE_BACKGROUND)
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x <= rect.right(); ++x)
                    canvas.setPixel(x, y, colour(global, gif->SBackGroundColor));
        else if (control.DisposalMode == DISPOSE_PREVIOUS)
            canvas = before;
    }
    DGifCloseFile(gif, &code);
    return result;
}
