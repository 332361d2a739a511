#include "FieldPicture.h"

#include "AntField.h"
#include "ArgumentText.h"
#include "FieldRenderer.h"
#include "OutputFile.h"
#include "PngWriter.h"
#include "RuntimeFailure.h"
#include "UsageError.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>

#include <unistd.h>

namespace FieldPicture
{
int ParseCellSize(const std::string& text)
{
    return ArgumentText::ParseInt("--cell-size", text, 1, MaxCellSize);
}

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
    return QDir(OutputFile::LocalPath(directory))
        .filePath(QString::fromLatin1(name))
        .toLocal8Bit()
        .toStdString();
}

// PngWriter writes only to a path. Given the write end of a pipe that another thread
// drains, it hands over its bytes without touching a disk, so the only file write is
// Save's, which fails with the OS reason and keeps the previous file.
QByteArray Encode(AntField& field, int cellSize)
{
    const QImage image = FieldRenderer::Render(field.GetCopy(), cellSize);
    int ends[2];
    if (pipe(ends) != 0)
        throw RuntimeFailure(std::string("cannot encode the picture: ") + std::strerror(errno));
    QByteArray png;
    std::thread reader;
    try
    {
        reader = std::thread(
            [&png, from = ends[0]]
            {
                char buffer[65536];
                for (ssize_t n = 0; (n = read(from, buffer, sizeof buffer)) > 0;)
                    png.append(buffer, static_cast<int>(n));
            });
    }
    catch (const std::system_error& failure)
    {
        close(ends[0]);
        close(ends[1]);
        throw RuntimeFailure("cannot encode the picture: " + failure.code().message());
    }
    QString error;
    bool written = false;
    try
    {
        written = PngWriter::Write(image, QStringLiteral("/proc/self/fd/%1").arg(ends[1]), &error);
    }
    catch (...)
    {
        error = QStringLiteral("out of memory");
    }
    close(ends[1]);
    reader.join();
    close(ends[0]);
    if (!written)
        throw RuntimeFailure("cannot encode the picture: " + error.toStdString());
    return png;
}

void Save(const QByteArray& png, const std::string& path)
{
    OutputFile file(path);
    file.Write(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    file.Commit();
}
} // namespace FieldPicture
