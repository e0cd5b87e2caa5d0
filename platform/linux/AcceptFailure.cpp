// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AcceptFailure.h"

#include <cerrno>

void AcceptFailure::clear() noexcept
{
    errno = 0;
}

bool AcceptFailure::peerGaveUp() noexcept
{
    switch (errno)
    {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
        return true;
    default:
        return false;
    }
}
