// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/ResultMessages.h"

namespace
{
struct Row
{
    Phase stage;
    int cancelEntry;
    int codeEntries[9]; // codes 1 to 9
};

// clang-format off
constexpr Row rows[] = {
    //                   cancel  1   2   3   4   5   6   7   8   9
    {Phase::initialise,  11,   {14, 15, 16, 17, 18, 19, 20, 21, 22}}, // "Initialize cancel.", I1 to I9
    {Phase::connect,     12,   {23, 24, 25, 26, 27, 28, 29, 30, 31}}, // "Connecting cancel.", C1 to C9
    {Phase::send,        13,   {32, 33, 34, 35, 36, 37, 38, 39, 40}}, // "Sending cancel.", S1 to S9
};
// clang-format on
} // namespace

int ResultMessages::entryFor(Phase stage, StageResult result) noexcept
{
    for (const Row& row : rows)
    {
        if (row.stage != stage)
            continue;
        if (result == StageResult::cancelled)
            return row.cancelEntry;
        const auto code = static_cast<std::int32_t>(result);
        if (code >= 1 && code <= 9)
            return row.codeEntries[code - 1];
        return none;
    }
    return none;
}
