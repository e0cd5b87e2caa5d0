// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SocketOptions.h"

#include <winsock2.h>
#include <ws2tcpip.h>

bool SocketOptions::set(int handle, Option option, int value) noexcept
{
    int level = SOL_SOCKET;
    int name = SO_REUSEADDR;
    switch (option)
    {
    case Option::reuseAddress:
        name = SO_REUSEADDR;
        break;
    case Option::broadcast:
        name = SO_BROADCAST;
        break;
    case Option::receiveBufferSize:
        name = SO_RCVBUF;
        break;
    case Option::sendBufferSize:
        name = SO_SNDBUF;
        break;
    case Option::noDelay:
        level = IPPROTO_TCP;
        name = TCP_NODELAY;
        break;
    }
    return ::setsockopt(static_cast<SOCKET>(handle), level, name,
                        reinterpret_cast<const char*>(&value), sizeof(value)) == 0;
}

bool SocketOptions::makeNonBlocking(int handle) noexcept
{
    u_long nonBlocking = 1;
    return ::ioctlsocket(static_cast<SOCKET>(handle), FIONBIO, &nonBlocking) == 0;
}
