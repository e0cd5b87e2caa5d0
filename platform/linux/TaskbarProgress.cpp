// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/TaskbarProgress.h"

// The desktops of Linux have no common taskbar progress.
void TaskbarProgress::show(void*, State, double) noexcept {}
