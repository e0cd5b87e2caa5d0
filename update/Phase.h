// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "update/StageResult.h"

#include <cstdint>
#include <string>

// Where the update stands. 0 to 5 each have their own screen; 1, 3 and 4 are
// the stages, which run on the update procedure's worker thread.
enum class Phase : std::int32_t
{
    notShown = -1,  // before the window shows its first screen
    language = 0,   // choose the language
    initialise = 1, // the update file and the network interfaces are checked
    ready = 2,      // START or EXIT
    connect = 3,    // announcing, waiting for the mixer
    send = 4,       // the file goes to the mixer
    finished = 5,   // all sent
    ended = 6       // quit requested; nothing follows
};

// The letter before a stage's code ("_I4", "_C2", "_S3"): I, C or S.
constexpr char stageLetter(Phase stage) noexcept
{
    return stage == Phase::initialise ? 'I' : stage == Phase::connect ? 'C' : 'S';
}

// A failure's code as the user sees it after the text: "I4", "C2", "S3".
inline std::string stageCode(Phase stage, StageResult failure)
{
    return std::string(1, stageLetter(stage)) + std::to_string(static_cast<int>(failure));
}
