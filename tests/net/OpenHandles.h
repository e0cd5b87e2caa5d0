// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// The process's open file descriptors, to see that sockets are all closed again.
class OpenHandles
{
public:
    static int count();
};
