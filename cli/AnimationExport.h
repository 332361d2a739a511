#pragma once

#include "FieldView.h"
#include "FrameSchedule.h"

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

// --gif FILE [--frames F] [--spacing linear|log] [--delay MS]: a run from iteration 0 to its
// end as an animated GIF of the renderer's pictures, looping for ever. Frames are made and
// encoded one at a time, so memory does not grow with F.
class AnimationExport
{
public:
    static constexpr int DefaultFrames = 100;
    static constexpr int MaxFrames = 2000;
    static constexpr int DefaultDelayMs = 40;
    static constexpr int LastFrameMs = 2000;

    explicit AnimationExport(CLI::App& command);

    bool Requested() const;
    bool ToStandardOutput() const;
    // The file to write; empty when none is asked for.
    const std::string& FilePath() const { return Path; }
    // Before the run: the option values (a UsageError), then the place to write.
    void CheckOptions();
    void CheckWritable() const;
    // Replays the rule's run on the options' field from the start state to lastIteration,
    // every frame showing `window`. A file is returned written but not yet in place, for
    // the caller to commit with its other files; stdout is written as it goes.
    std::unique_ptr<OutputFile> Write(const AntAI& rule, const RunOptions& field,
                                      std::uint64_t lastIteration, const FieldView::Box& window,
                                      int cellSize) const;

private:
    CLI::App* Command;
    std::string Path;
    int Frames = DefaultFrames;
    std::string SpacingName;
    FrameSchedule::Spacing Spacing = FrameSchedule::Spacing::Linear;
    int DelayMs = DefaultDelayMs;
};
