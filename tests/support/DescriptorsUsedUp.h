// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <sys/resource.h>

// While it lives, this process can open no new descriptor (a socket, a file,
// an accepted connection): the limit of open descriptors is lowered to the
// lowest free number, so that every open fails with EMFILE. Those already
// open keep working.
class DescriptorsUsedUp
{
public:
    DescriptorsUsedUp();
    ~DescriptorsUsedUp();
    DescriptorsUsedUp(const DescriptorsUsedUp&) = delete;
    DescriptorsUsedUp& operator=(const DescriptorsUsedUp&) = delete;

    // False when the limit could not be lowered.
    bool ok() const { return lowered; }

private:
    rlimit old{};
    bool lowered = false;
};
