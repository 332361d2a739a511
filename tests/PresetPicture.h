#pragma once

#include "Ant.h"
#include "AntField.h"
#include "FieldRenderer.h"
#include "Runner.h"

#include <QImage>

#include <memory>

// Runs a preset from the start state on `field` until the ant leaves it.
inline void RunPresetToEnd(AntField& field, int number)
{
    Ant ant;
    ant.ApplyPreset(number);
    Runner().Run(field, ant);
}

// The final field of a preset's run from the start state, drawn by the shared renderer:
// what the compiled-in previews (cell size 2) and the CLI's pictures must show.
inline QImage RenderPresetFinalField(int number, int cellSize)
{
    auto field = std::make_unique<AntField>();
    RunPresetToEnd(*field, number);
    return FieldRenderer::Render(field->GetCopy(), cellSize);
}
