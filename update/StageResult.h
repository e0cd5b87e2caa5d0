// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <cstdint>

// How a stage (Phase::initialise, connect or send) ended. A failure carries
// its code, 1 to 9, which the user sees after the stage's letter (I, C or S):
// the value of the network class's result or status that ended the stage.
enum class StageResult : std::int32_t
{
    cancelled = -1,
    success = 0,
    code1 = 1,
    code2 = 2,
    code3 = 3,
    code4 = 4,
    code5 = 5,
    code6 = 6,
    code7 = 7,
    code8 = 8,
    code9 = 9
};

// The stage result of a network class's result or status: the same code.
template <typename Code> constexpr StageResult stageResultOf(Code code) noexcept
{
    return static_cast<StageResult>(static_cast<std::int32_t>(code));
}
