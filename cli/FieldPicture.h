#pragma once

#include <string>

class AntField;

// Writes the field as a PNG picture through the view's renderer, so an exported picture
// is exactly what the window and the preview pictures show. Problems are UsageErrors.
namespace FieldPicture
{
constexpr int DefaultCellSize = 3;
constexpr int PreviewCellSize = 2;
constexpr int MaxCellSize = 16;

int ParseCellSize(const std::string& text);

// Refuses early, before a long run, a path that cannot possibly be written.
void CheckFilePath(const std::string& path);

// Makes the directory if it is missing; refuses a path that is not a directory.
void PrepareDirectory(const std::string& path);

// "ant_ai_preset_NN.png" inside the directory.
std::string PreviewPath(const std::string& directory, int presetNumber);

void Write(AntField& field, int cellSize, const std::string& path);
} // namespace FieldPicture
