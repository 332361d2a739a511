#pragma once

#include "FieldView.h"
#include "FrameSchedule.h"

#include "OutputOption.h"

#include <cstdint>
#include <memory>
#include <string>

namespace CLI
{
class App;
}
struct AntAI;
class OutputFile;
struct RunOptions;
struct ReplayStart;

// --gif FILE [--frames F] [--spacing linear|log] [--delay MS]: a run from iteration 0 to its
// end as an animated GIF of the renderer's pictures, looping for ever. Frames are made and
// encoded one at a time, so memory does not grow with F.
class AnimationExport : public OutputOption
{
public:
    static constexpr int DefaultFrames = 100;
    static constexpr int MaxFrames = 2000;
    static constexpr int DefaultDelayMs = 40;
    static constexpr int LastFrameMs = 2000;

    explicit AnimationExport(CLI::App& command);

    // Before the run: the option values (a UsageError); CheckWritable, the place to write.
    void CheckOptions();
    // Replays the rule's run on the options' field from the start state (or `start`) to
    // lastIteration, every frame showing `window`. A file is returned written but not yet in place,
    // for the caller to commit with its other files; stdout is written as it goes.
    std::unique_ptr<OutputFile> Write(const AntAI& rule, const RunOptions& field,
                                      std::uint64_t lastIteration, const FieldView::Box& window,
                                      int cellSize, const ReplayStart& start) const;

private:
    int Frames = DefaultFrames;
    std::string SpacingName;
    FrameSchedule::Spacing Spacing = FrameSchedule::Spacing::Linear;
    int DelayMs = DefaultDelayMs;
};
