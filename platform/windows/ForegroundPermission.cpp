// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/ForegroundPermission.h"

#include <windows.h>

void ForegroundPermission::allowAnyProcess()
{
    ::AllowSetForegroundWindow(ASFW_ANY);
}
