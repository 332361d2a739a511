#pragma once

#include "Ant.h"
#include "AntField.h"
#include "FieldRenderer.h"
#include "Runner.h"

#include <QImage>

#include <memory>

// The final field of a preset's run from the start state, drawn by the shared renderer:
// what the compiled-in previews (cell size 2) and the CLI's pictures must show.
inline QImage RenderPresetFinalField(int number, int cellSize)
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.ApplyPreset(number);
    Runner().Run(*field, ant);
    return FieldRenderer::Render(field->GetCopy(), cellSize);
}
