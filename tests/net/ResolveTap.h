// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <functional>

// Sits between the code under test and the system's getaddrinfo() in this test
// program: runs a hook, once, on the thread of the next look-up.
class ResolveTap
{
public:
    static void beforeNextLookup(std::function<void()> hook);
};
