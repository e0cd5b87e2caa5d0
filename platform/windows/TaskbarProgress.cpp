// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/TaskbarProgress.h"

void TaskbarProgress::show(void*, State, double) noexcept {}
