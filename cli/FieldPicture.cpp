#include "FieldPicture.h"

#include "AntField.h"
#include "ArgumentText.h"
#include "IndexRenderer.h"
#include "OutputFile.h"
#include "PngEncoder.h"
#include "RuntimeFailure.h"
#include "UsageError.h"

#include <QDir>
#include <QFile>
#include <QString>

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

std::string Encode(AntField& field, int cellSize)
{
    try
    {
        return PngEncoder::Encode(IndexRenderer::Render(field.GetCopy(), cellSize));
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
