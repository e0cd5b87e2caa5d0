// KVR516_UPDATE, GPL-3.0-or-later.
#include "support/SocketTap.h"

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <sys/socket.h>

namespace
{
std::atomic<int> acceptsToFail{0};
std::atomic<int> acceptError{0};
std::atomic<bool> datagramSocketsFail{false};
std::atomic<int> sendsToFail{0};
std::atomic<int> sendError{0};

using AcceptFunction = int (*)(int, sockaddr*, socklen_t*);
using SocketFunction = int (*)(int, int, int);
using SendToFunction = ssize_t (*)(int, const void*, size_t, int, const sockaddr*, socklen_t);

// Takes one of count failures; false when none is left.
bool takeOne(std::atomic<int>& count)
{
    for (int left = count.load(); left > 0;)
        if (count.compare_exchange_weak(left, left - 1))
            return true;
    return false;
}
} // namespace

void SocketTap::failAccepts(int count, int error)
{
    acceptError = error;
    acceptsToFail = count;
}

void SocketTap::failDatagramSockets(bool on)
{
    datagramSocketsFail = on;
}

void SocketTap::failDatagramSends(int count, int error)
{
    sendError = error;
    sendsToFail = count;
}

// Every accept() and socket() of the test program comes here first.
extern "C" int accept(int handle, sockaddr* address, socklen_t* length)
{
    static const auto real = reinterpret_cast<AcceptFunction>(::dlsym(RTLD_NEXT, "accept"));
    if (takeOne(acceptsToFail))
    {
        errno = acceptError;
        return -1;
    }
    return real(handle, address, length);
}

extern "C" int socket(int domain, int type, int protocol)
{
    static const auto real = reinterpret_cast<SocketFunction>(::dlsym(RTLD_NEXT, "socket"));
    if (datagramSocketsFail && (type & 0xF) == SOCK_DGRAM)
    {
        errno = EMFILE;
        return -1;
    }
    return real(domain, type, protocol);
}

extern "C" ssize_t sendto(int handle, const void* data, size_t size, int flags, const sockaddr* to,
                          socklen_t toLength)
{
    static const auto real = reinterpret_cast<SendToFunction>(::dlsym(RTLD_NEXT, "sendto"));
    if (takeOne(sendsToFail))
    {
        errno = sendError;
        return -1;
    }
    return real(handle, data, size, flags, to, toLength);
}
