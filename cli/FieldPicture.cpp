#include "FieldPicture.h"

#include "AntField.h"
#include "Arguments.h"
#include "FieldRenderer.h"
#include "PngWriter.h"
#include "UsageError.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QString>

#include <cstdio>

namespace
{
QString ToQString(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<int>(text.size()));
}
} // namespace

namespace FieldPicture
{
int ParseCellSize(const std::string& text)
{
    return Arguments::ParseInt("--cell-size", text, 1, MaxCellSize);
}

void CheckFilePath(const std::string& path)
{
    if (path.empty())
        throw UsageError("the picture file name is empty");
    const QFileInfo info(ToQString(path));
    if (info.isDir())
        throw UsageError("'" + path + "' is a directory, not a picture file");
    const QFileInfo parent(info.absolutePath());
    if (!parent.isDir())
        throw UsageError("cannot write '" + path + "': no directory " +
                         parent.filePath().toStdString());
}

void PrepareDirectory(const std::string& path)
{
    if (path.empty())
        throw UsageError("the picture directory name is empty");
    const QFileInfo info(ToQString(path));
    if (info.exists() && !info.isDir())
        throw UsageError("'" + path + "' is not a directory");
    if (!info.exists() && !QDir().mkpath(info.filePath()))
        throw UsageError("cannot create directory '" + path + "'");
}

std::string PreviewPath(const std::string& directory, int presetNumber)
{
    char name[32];
    std::snprintf(name, sizeof name, "ant_ai_preset_%02d.png", presetNumber);
    return QDir(ToQString(directory)).filePath(QString::fromLatin1(name)).toStdString();
}

void Write(AntField& field, int cellSize, const std::string& path)
{
    const QImage image = FieldRenderer::Render(field.GetCopy(), cellSize);
    QString error;
    if (!PngWriter::Write(image, ToQString(path), &error))
        throw UsageError("cannot write '" + path + "': " + error.toStdString());
}
} // namespace FieldPicture
