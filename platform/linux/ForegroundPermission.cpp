// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/ForegroundPermission.h"

// X11 has no such permission; bringing a window forward is up to the framework
// and the window manager.
void ForegroundPermission::allowAnyProcess() {}
