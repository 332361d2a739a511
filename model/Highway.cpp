#include "Highway.h"

#include "AntField.h"

#include <algorithm>
#include <vector>

namespace
{
constexpr int StepX[4] = {0, 1, 0, -1};
constexpr int StepY[4] = {-1, 0, 1, 0};
} // namespace

std::uint64_t HighwayTailLength(std::uint64_t maxPeriod)
{
    return AntField::FieldSize * maxPeriod + 1;
}

Highway FindHighway(const std::uint8_t* headings, std::size_t count, std::uint64_t lastIteration,
                    std::uint64_t maxPeriod)
{
    Highway best;
    if (count > lastIteration)
    {
        headings += count - lastIteration;
        count = static_cast<std::size_t>(lastIteration);
    }
    const bool wholeRun = count == lastIteration;
    const bool shortTail = !wholeRun && count < HighwayTailLength(maxPeriod);
    // Four periods must fit in the tail to be reported. A short tail also looks at longer
    // periods, for a repetition that reaches back past its start; it cannot see at all
    // those as long as itself.
    const auto periods = static_cast<std::size_t>(
        std::min<std::uint64_t>(maxPeriod, shortTail && count > 0 ? count - 1 : count / 4));
    if (shortTail && count <= maxPeriod)
        best.Undecided = true;
    if (periods == 0)
        return best;
    const std::uint8_t* const last = headings + count - 1;

    // Read backwards from the last heading, the tail is a string whose Z-array entry at
    // P, match[P], counts how many iterations before the last P agree with the heading P
    // later: the highway of period P spans P + match[P] iterations. The Z-algorithm
    // reuses the rightmost stretch [boxStart, boxEnd) known to equal the string's start;
    // each successful comparison pushes boxEnd further and boxEnd never passes count,
    // and each P ends with at most one failed comparison, so all periods together cost
    // at most count + maxPeriod comparisons, whatever the headings.
    // Kept between calls: a survey asks thousands of times, and every entry read is
    // written first.
    thread_local std::vector<std::size_t> match;
    if (match.size() < periods + 1)
        match.resize(periods + 1);
    std::size_t boxStart = 0;
    std::size_t boxEnd = 0;
    std::size_t bestSpan = 0;
    int driftX = 0;
    int driftY = 0;
    for (std::size_t p = 1; p <= periods; ++p)
    {
        // Every window of P headings inside a highway holds the same headings in
        // another order, so the last P give the drift of the first P.
        const int heading = *(last - (p - 1)) & 3;
        driftX += StepX[heading];
        driftY += StepY[heading];

        std::size_t k = p < boxEnd ? std::min(boxEnd - p, match[p - boxStart]) : 0;
        while (p + k < count && *(last - k) == *(last - (p + k)))
            ++k;
        match[p] = k;
        if (p + k > boxEnd)
        {
            boxStart = p;
            boxEnd = p + k;
        }

        const std::size_t span = p + k;
        // Repetition up to the tail's first heading: the onset lies before the tail. On
        // the field that means no drift once the tail is long enough; a shorter tail
        // cannot tell.
        if (span == count && !wholeRun)
        {
            if ((driftX != 0 || driftY != 0) && count < HighwayTailLength(maxPeriod))
                best.Undecided = true;
            continue;
        }
        // A longer span is an earlier onset; on a tie the smaller period came first.
        if (span < 4 * p || span <= bestSpan || (driftX == 0 && driftY == 0))
            continue;
        bestSpan = span;
        best = {true, p, lastIteration - span + 1, driftX, driftY, best.Undecided};
    }
    return best;
}
