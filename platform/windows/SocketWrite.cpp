// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SocketWrite.h"

#include <winsock2.h>

// Windows raises no signal for a broken connection. A send has no flag that
// keeps it from waiting, so the socket is put into non-blocking mode first
// (once set, this costs nothing more than the call).
int SocketWrite::write(int handle, const void* data, int size) noexcept
{
    const auto socket = static_cast<SOCKET>(handle);
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0)
        return failed;

    for (;;)
    {
        const int n = ::send(socket, static_cast<const char*>(data), size, 0);
        if (n > 0)
            return n;
        if (n == 0)
            return wouldBlock; // nothing handed over, no error: as a full buffer

        switch (::WSAGetLastError())
        {
        case WSAEINTR:
            continue;
        case WSAEWOULDBLOCK:
        case WSAENOBUFS:
            return wouldBlock;
        default:
            return failed;
        }
    }
}

SocketWrite::Room SocketWrite::waitForRoom(int handle, int timeoutMs) noexcept
{
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(static_cast<SOCKET>(handle), &writable);
    fd_set broken;
    FD_ZERO(&broken);
    FD_SET(static_cast<SOCKET>(handle), &broken);

    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, nullptr, &writable, &broken, &timeout);
    if (ready > 0)
        return Room::ready; // a failed connection shows in the next write
    if (ready == SOCKET_ERROR && ::WSAGetLastError() != WSAEINTR)
        return Room::failed;
    return Room::timedOut;
}
