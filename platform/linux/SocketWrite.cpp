// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SocketWrite.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

int SocketWrite::write(int handle, const void* data, int size) noexcept
{
    for (;;)
    {
        const ssize_t n =
            ::send(handle, data, static_cast<size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            return static_cast<int>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return wouldBlock;
        if (n == 0)
            return wouldBlock; // nothing handed over, no error: as a full buffer
        return failed;
    }
}

SocketWrite::Room SocketWrite::waitForRoom(int handle, int timeoutMs) noexcept
{
    pollfd fd{handle, POLLOUT, 0};
    const int ready = ::poll(&fd, 1, timeoutMs);
    if (ready > 0)
        return Room::ready;
    if (ready < 0 && errno != EINTR)
        return Room::failed;
    return Room::timedOut; // an interrupted wait counts as a slice that passed
}
