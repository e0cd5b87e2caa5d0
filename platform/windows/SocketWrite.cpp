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

        // A full buffer is WSAEWOULDBLOCK; WSAENOBUFS means that the system
        // has no buffer space left at all, a failure.
        switch (::WSAGetLastError())
        {
        case WSAEINTR:
            continue;
        case WSAEWOULDBLOCK:
            return wouldBlock;
        default:
            return failed;
        }
    }
}

namespace
{
// Waits for the socket to become writable, and with watchRead also readable;
// select's count of sockets ready, 0 when timed out.
int waitFor(SOCKET socket, bool watchRead, int timeoutMs, bool& readable)
{
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket, &writable);
    fd_set reads;
    FD_ZERO(&reads);
    FD_SET(socket, &reads);

    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, watchRead ? &reads : nullptr, &writable, nullptr, &timeout);
    readable = ready > 0 && watchRead && FD_ISSET(socket, &reads) && !FD_ISSET(socket, &writable);
    return ready;
}
} // namespace

// Windows reports a connection that was closed or reset in select's read
// set, never in the write set: both are watched. A peek tells a closed or
// reset connection (the next write reports it) from bytes the peer sent,
// after which the wait goes on for the write set alone.
SocketWrite::Room SocketWrite::waitForRoom(int handle, int timeoutMs) noexcept
{
    const auto socket = static_cast<SOCKET>(handle);
    bool readable = false;
    int ready = waitFor(socket, true, timeoutMs, readable);
    if (ready > 0 && readable)
    {
        char byte;
        const int peeked = ::recv(socket, &byte, 1, MSG_PEEK);
        if (peeked == 0 || (peeked == SOCKET_ERROR && ::WSAGetLastError() != WSAEWOULDBLOCK))
            return Room::ready;
        ready = waitFor(socket, false, timeoutMs, readable);
    }
    if (ready > 0)
        return Room::ready;
    if (ready == SOCKET_ERROR && ::WSAGetLastError() != WSAEINTR)
        return Room::failed;
    return Room::timedOut;
}
