#pragma once

#include "Survey.h"
#include "SurveyRecords.h"

#include <string>
#include <vector>

// A survey output read back, for merge and survey --resume: CSV or JSON as survey prints
// them, checked whole. Anything else, or anything that does not add up (a truncated
// file, a row outside the survey it describes, a number out of range), is refused with
// a RuntimeFailure naming the file, and for a field its line (CSV) or row (JSON).
struct SurveyInput
{
    bool Json = false;
    SurveyRecords::Description About;
    std::vector<SurveyRow> Rows;

    static SurveyInput Read(const std::string& path);
};
