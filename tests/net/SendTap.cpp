// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/SendTap.h"

#include <dlfcn.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/types.h>

namespace
{
std::mutex lock;
int watched = -1;
std::vector<long> sizes;
std::vector<SendTap::Span> times;
long limit = 0;
int hookAfter = 0;
int completed = 0;
std::function<void()> hook;

using SendFunction = ssize_t (*)(int, const void*, size_t, int);

SendFunction realSend()
{
    static const auto real = reinterpret_cast<SendFunction>(::dlsym(RTLD_NEXT, "send"));
    return real;
}
} // namespace

void SendTap::watch(int handle)
{
    const std::lock_guard<std::mutex> guard(lock);
    watched = handle;
    sizes.clear();
    times.clear();
    limit = 0;
    hookAfter = 0;
    completed = 0;
    hook = nullptr;
}

void SendTap::stop()
{
    watch(-1);
}

std::vector<long> SendTap::requested()
{
    const std::lock_guard<std::mutex> guard(lock);
    return sizes;
}

std::vector<SendTap::Span> SendTap::spans()
{
    const std::lock_guard<std::mutex> guard(lock);
    return times;
}

void SendTap::limitEachSend(long bytes)
{
    const std::lock_guard<std::mutex> guard(lock);
    limit = bytes;
}

void SendTap::afterSend(int n, std::function<void()> h)
{
    const std::lock_guard<std::mutex> guard(lock);
    hookAfter = n;
    hook = std::move(h);
}

// Every send() of this test program comes here first.
extern "C" ssize_t send(int fd, const void* buffer, size_t size, int flags)
{
    std::function<void()> due;
    size_t asked = size;
    const auto begin = std::chrono::steady_clock::now();
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (fd == watched && watched >= 0)
        {
            sizes.push_back(static_cast<long>(size));
            if (limit > 0 && size > static_cast<size_t>(limit))
                asked = static_cast<size_t>(limit);
        }
    }

    const ssize_t n = realSend()(fd, buffer, asked, flags);
    const auto end = std::chrono::steady_clock::now();

    {
        const std::lock_guard<std::mutex> guard(lock);
        if (fd == watched && watched >= 0)
        {
            times.push_back({begin, end});
            if (n > 0 && ++completed == hookAfter && hook)
                due = std::move(hook);
        }
    }
    if (due)
        due();
    return n;
}
