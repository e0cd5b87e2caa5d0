// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/OpenHandles.h"

#include <dirent.h>

int OpenHandles::count()
{
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr)
        return -1;
    int n = 0;
    while (::readdir(folder) != nullptr)
        ++n;
    ::closedir(folder);
    return n;
}
