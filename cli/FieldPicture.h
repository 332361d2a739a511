#pragma once

#include "FieldView.h"
#include "Rule.h"

#include <cstdint>
#include <string>

// The field as a PNG picture, in the pixels the window and the preview pictures show. Files are
// written through OutputFile: a failed write leaves the previous file as it was and names the
// OS reason (a RuntimeFailure, exit 1).
namespace FieldPicture
{
constexpr int DefaultCellSize = 3;
constexpr int PreviewCellSize = 2;
constexpr int MaxCellSize = 16;
// Pixels of one picture or frame, frame and margin included: 16384 x 16384, whose PNG took
// 1.1 GB to encode (its index image, its RGB rows and the deflate buffer).
constexpr std::uint64_t MaxPixels = std::uint64_t{1} << 28;
// A GIF's screen is at most this wide and high.
constexpr int MaxGifSide = 65535;
// The path that means stdout.
constexpr const char* StandardOutputPath = "-";

// Refuses, before a long run, a path that cannot be written: tries to create the file's
// temporary sibling in its directory.
void CheckWritable(const std::string& path);

// Makes the directory if it is missing and checks that files can be made in it.
void PrepareDirectory(const std::string& path);

// "ant_ai_preset_NN.png" inside the directory.
std::string PreviewPath(const std::string& directory, int presetNumber);

// --view X,Y,W,H: W x H cells from (X, Y) in field coordinates; a UsageError otherwise.
FieldView::Box ParseView(const std::string& text);
// Refuses (a UsageError) a window whose picture would exceed MaxPixels, or for a GIF
// MaxGifSide, naming --cell-size and --view.
void CheckSize(const FieldView::Box& window, int cellSize, bool gif);

// A picture of a rule of `letters` letters.
std::string Encode(const FieldView& field, const FieldView::Box& window, int cellSize,
                   int letters = Rule::MaxLetters);

// Replaces the file at `path` with `png` as a whole, or leaves it as it was.
void Save(const std::string& png, const std::string& path);
} // namespace FieldPicture
