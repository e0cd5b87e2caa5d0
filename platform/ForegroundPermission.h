// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// Lets any process bring its window to the front, so that the running copy of
// the program may come forward when a second one starts. Windows asks for
// this permission; elsewhere there is nothing to ask.
class ForegroundPermission
{
public:
    static void allowAnyProcess();
};
