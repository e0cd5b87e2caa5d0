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

using AcceptFunction = int (*)(int, sockaddr*, socklen_t*);
using SocketFunction = int (*)(int, int, int);
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

// Every accept() and socket() of the test program comes here first.
extern "C" int accept(int handle, sockaddr* address, socklen_t* length)
{
    static const auto real = reinterpret_cast<AcceptFunction>(::dlsym(RTLD_NEXT, "accept"));
    for (int left = acceptsToFail.load(); left > 0;)
        if (acceptsToFail.compare_exchange_weak(left, left - 1))
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
