// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SocketOptions.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

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
    return ::setsockopt(handle, level, name, &value, sizeof(value)) == 0;
}

bool SocketOptions::makeNonBlocking(int handle) noexcept
{
    const int flags = ::fcntl(handle, F_GETFL, 0);
    return flags >= 0 && ::fcntl(handle, F_SETFL, flags | O_NONBLOCK) == 0;
}
