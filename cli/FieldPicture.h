#pragma once

#include <string>

class AntField;

// The field as a PNG picture, in the pixels the window and the preview pictures show. Files are
// written through QSaveFile: a failed write leaves the previous file as it was and names the OS
// reason (a RuntimeFailure, exit 1).
namespace FieldPicture
{
constexpr int DefaultCellSize = 3;
constexpr int PreviewCellSize = 2;
constexpr int MaxCellSize = 16;
// The path that means stdout.
constexpr const char* StandardOutputPath = "-";

// Refuses, before a long run, a path that cannot be written: tries to create the file's
// temporary sibling in its directory.
void CheckWritable(const std::string& path);

// Makes the directory if it is missing and checks that files can be made in it.
void PrepareDirectory(const std::string& path);

// "ant_ai_preset_NN.png" inside the directory.
std::string PreviewPath(const std::string& directory, int presetNumber);

std::string Encode(AntField& field, int cellSize);

// Replaces the file at `path` with `png` as a whole, or leaves it as it was.
void Save(const std::string& png, const std::string& path);
} // namespace FieldPicture
