// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/ResolveTap.h"

#include <dlfcn.h>
#include <mutex>
#include <netdb.h>

namespace
{
std::mutex lock;
std::function<void()> pending;

using LookupFunction = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
} // namespace

void ResolveTap::beforeNextLookup(std::function<void()> hook)
{
    const std::lock_guard<std::mutex> guard(lock);
    pending = std::move(hook);
}

// Every getaddrinfo() of this test program comes here first.
extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result)
{
    static const auto real = reinterpret_cast<LookupFunction>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    std::function<void()> due;
    {
        const std::lock_guard<std::mutex> guard(lock);
        due = std::move(pending);
        pending = nullptr;
    }
    if (due)
        due();
    return real(node, service, hints, result);
}
