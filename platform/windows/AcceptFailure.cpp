// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AcceptFailure.h"

#include <winsock2.h>

void AcceptFailure::clear() noexcept
{
    ::WSASetLastError(0);
}

bool AcceptFailure::peerGaveUp() noexcept
{
    // No error means no accept was made (the listening socket is closed): a
    // fault of the listening side, as on Linux.
    switch (::WSAGetLastError())
    {
    case WSAEWOULDBLOCK:
    case WSAEINTR:
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENETDOWN:
    case WSAENETRESET:
    case WSAEHOSTDOWN:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
        return true;
    default:
        return false;
    }
}
