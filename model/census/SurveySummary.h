#pragma once

#include "HighwayType.h"
#include "RunOutcome.h"
#include "SurveyPlan.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What surveys found, by rule length: how the rules ended, how many proved a highway and
// of which types, from the rows of any number of surveys or shards, each rule once.
class SurveySummary
{
public:
    struct Length
    {
        int Letters = 0;
        std::uint64_t Rules = 0;
        std::array<std::uint64_t, OutcomeRanks> Ended{}; // by outcome rank
        std::uint64_t Proven = 0; // rows on a proven highway, whatever their outcome
        // Whether every row came from a survey that gave types; Types counts nothing else.
        bool Typed = true;
        std::uint64_t Types = 0; // distinct
    };
    struct TypeCount
    {
        int Letters = 0;
        HighwayType Type;
        std::uint64_t Rules = 0;
        std::string First; // of the lowest census number, the one numbered itself on a tie
    };

    // The rows done of one survey; typed when its rows give their highway's type.
    void Add(const std::vector<SurveyRow>& rows, bool typed);

    // Shortest first.
    std::vector<Length> Lengths() const;
    // Of the lengths whose types are known: shortest first, then most rules, then type order.
    std::vector<TypeCount> Types() const;

private:
    struct Tally
    {
        Length Counts;
        std::map<HighwayType, TypeCount> Types;
    };
    std::map<int, Tally> ByLetters;
};
