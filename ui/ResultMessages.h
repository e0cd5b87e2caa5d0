// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "update/Phase.h"
#include "update/StageResult.h"

// Which text of the string tables tells the user how a stage ended.
class ResultMessages
{
public:
    // The string entry shown for result of stage (Phase::initialise, connect
    // or send), or none (-1): success, a value outside the codes, another phase.
    static int entryFor(Phase stage, StageResult result) noexcept;

    static constexpr int none = -1;
};
