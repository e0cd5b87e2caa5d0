// KVR516_UPDATE, GPL-3.0-or-later.
#include "support/DescriptorsUsedUp.h"

#include <unistd.h>

DescriptorsUsedUp::DescriptorsUsedUp()
{
    // The system hands out the lowest free number: a limit there refuses all.
    const int lowestFree = ::dup(STDERR_FILENO);
    if (lowestFree < 0)
        return;
    ::close(lowestFree);
    if (::getrlimit(RLIMIT_NOFILE, &old) != 0)
        return;
    rlimit limit = old;
    limit.rlim_cur = static_cast<rlim_t>(lowestFree);
    lowered = ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

DescriptorsUsedUp::~DescriptorsUsedUp()
{
    if (lowered)
        ::setrlimit(RLIMIT_NOFILE, &old);
}
