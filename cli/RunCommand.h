#pragma once

#include "AnimationExport.h"
#include "Command.h"
#include "FieldOptions.h"
#include "FieldView.h"
#include "MaxPeriodOption.h"
#include "OutputFormat.h"
#include "SoupOptions.h"
#include "StartOptions.h"
#include "TraceExport.h"

#include <cstdint>
#include <string>

// run RULE | --preset N: one run from the start state, its end state, optionally a picture,
// an animation and a time series.
class RunCommand : public Command
{
public:
    explicit RunCommand(CLI::App& line);
    int Execute() override;

private:
    std::string Rule;
    int Preset = 0;
    std::uint64_t Number = 0;
    std::uint64_t Cap = 0;
    std::string Png;
    int CellSize = 0;
    FieldView::Box View;
    OutputFormat Format;
    MaxPeriodOption MaxPeriod;
    FieldOptions Geometry;
    AnimationExport Animation;
    TraceExport Trace;
    StartOptions Start;
    SoupOptions SoupStart;
};
