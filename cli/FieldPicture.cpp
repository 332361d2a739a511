#include "FieldPicture.h"

#include "ArgumentText.h"
#include "IndexRenderer.h"
#include "OutputFile.h"
#include "Palette.h"
#include "PngEncoder.h"
#include "RuntimeFailure.h"
#include "UsageError.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

namespace FieldPicture
{
void CheckWritable(const std::string& path)
{
    OutputFile::Check(path);
}

void PrepareDirectory(const std::string& path)
{
    if (path.empty())
        throw UsageError("the picture directory name is empty");
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error)
        OutputFile::Fail(path, error.message());
    CheckWritable(PreviewPath(path, 1));
}

std::string PreviewPath(const std::string& directory, int presetNumber)
{
    char name[32];
    std::snprintf(name, sizeof name, "ant_ai_preset_%02d.png", presetNumber);
    return QFile::encodeName(
               QDir(OutputFile::LocalPath(directory)).filePath(QString::fromLatin1(name)))
        .toStdString();
}

namespace
{
// Coordinates may be negative on the plane; sizes keep x + width within an int.
constexpr int MostCoordinate = 1 << 29;
constexpr int MostCells = 1 << 28;

int ViewPart(const std::string& part, const char* name, int low, int high)
{
    const ArgumentText::Number number = ArgumentText::ReadNumber(part, low < 0);
    const auto most = static_cast<std::uint64_t>(std::max(-low, high));
    if (number.Status == ArgumentText::Number::Whole && number.Magnitude <= most)
    {
        const auto magnitude = static_cast<int>(number.Magnitude);
        const int value = number.Negative ? -magnitude : magnitude;
        if (value >= low && value <= high)
            return value;
    }
    throw UsageError(std::string("--view ") + name + " must be a whole number from " +
                     std::to_string(low) + " to " + std::to_string(high) + ", not " +
                     ArgumentText::Quote(part));
}
} // namespace

FieldView::Box ParseView(const std::string& text)
{
    std::string parts[4];
    std::size_t count = 0;
    for (std::size_t from = 0;; ++count)
    {
        const std::size_t comma = text.find(',', from);
        if (count < 4)
            parts[count] = text.substr(from, comma == std::string::npos ? comma : comma - from);
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    if (count != 3)
        throw UsageError("--view must be X,Y,W,H (four whole numbers), not " +
                         ArgumentText::Quote(text));
    return {ViewPart(parts[0], "X", -MostCoordinate, MostCoordinate),
            ViewPart(parts[1], "Y", -MostCoordinate, MostCoordinate),
            ViewPart(parts[2], "W", 1, MostCells), ViewPart(parts[3], "H", 1, MostCells)};
}

void CheckSize(const FieldView::Box& window, int cellSize, bool gif)
{
    const auto width = static_cast<std::uint64_t>(IndexRenderer::Side(window.Width, cellSize));
    const auto height = static_cast<std::uint64_t>(IndexRenderer::Side(window.Height, cellSize));
    const bool tooWide = gif && (width > MaxGifSide || height > MaxGifSide);
    const bool tooMany = width > MaxPixels || height > MaxPixels || width * height > MaxPixels;
    if (!tooMany && !tooWide)
        return;
    throw UsageError("a picture of " + std::to_string(window.Width) + " x " +
                     std::to_string(window.Height) + " cells would be " + std::to_string(width) +
                     " x " + std::to_string(height) + " pixels, more than " +
                     (!tooMany ? "a GIF's " + std::to_string(MaxGifSide) + " a side"
                               : std::to_string(MaxPixels)) +
                     "; give a smaller --cell-size or a --view X,Y,W,H window");
}

std::string Encode(const FieldView& field, const FieldView::Box& window, int cellSize, int letters)
{
    try
    {
        return PngEncoder::Encode(IndexRenderer::Render(
            field, window, cellSize, std::max(Palette::CellValueCount, letters + 1)));
    }
    catch (const std::bad_alloc&)
    {
        throw RuntimeFailure("cannot encode the picture: out of memory");
    }
}

void Save(const std::string& png, const std::string& path)
{
    OutputFile file(path);
    file.Write(png);
    file.Commit();
}
} // namespace FieldPicture
