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
            return wouldBlock;
        default: // WSAENOBUFS as well: the system is out of buffers, not this socket
            return failed;
        }
    }
}

namespace
{
timeval timeoutOf(int ms)
{
    return {ms / 1000, (ms % 1000) * 1000};
}

// The peer sends nothing, so a readable socket has been reset or closed by
// it, or was sent bytes after all (left unread). A peek tells them apart: only
// an error is a broken connection. A peer that closed its side (the peek
// gives 0) may still be reading, and room comes as it does.
bool resetByPeer(SOCKET socket)
{
    char byte = 0;
    return ::recv(socket, &byte, 1, MSG_PEEK) == SOCKET_ERROR &&
           ::WSAGetLastError() != WSAEWOULDBLOCK;
}
} // namespace

// Windows reports a connection that the peer reset in the read set, never in
// the write set, so a wait on the write set alone would outlast it.
SocketWrite::Room SocketWrite::waitForRoom(int handle, int timeoutMs) noexcept
{
    const auto socket = static_cast<SOCKET>(handle);
    bool watchReading = true;
    for (;;)
    {
        fd_set writable;
        fd_set broken;
        fd_set readable;
        FD_ZERO(&writable);
        FD_ZERO(&broken);
        FD_ZERO(&readable);
        FD_SET(socket, &writable);
        FD_SET(socket, &broken);
        FD_SET(socket, &readable);

        timeval timeout = timeoutOf(timeoutMs);
        const int ready =
            ::select(0, watchReading ? &readable : nullptr, &writable, &broken, &timeout);
        if (ready == SOCKET_ERROR)
            return ::WSAGetLastError() == WSAEINTR ? Room::timedOut : Room::failed;
        if (ready == 0)
            return Room::timedOut;
        if (FD_ISSET(socket, &writable) || FD_ISSET(socket, &broken))
            return Room::ready; // a failed connection shows in the next write
        if (resetByPeer(socket))
            return Room::failed;
        watchReading = false; // its end, or bytes from the peer: wait for room alone
    }
}
