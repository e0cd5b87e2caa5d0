// KVR516_UPDATE, GPL-3.0-or-later.

// TCP_INFO_v0 comes with Windows 10 version 1703 (Server 2016).
#define NTDDI_VERSION 0x0A000003 // NTDDI_WIN10_RS2
#include "platform/Acknowledgement.h"

#include <winsock2.h>
// After winsock2.h, whose types it uses.
#include <mstcpip.h>

// SIO_TCP_INFO (version 0) tells the bytes sent and not yet acknowledged
// (BytesInFlight), but not the bytes written and not yet sent: those are the
// bytes written less the bytes sent once, which is BytesOut less the bytes sent
// again (BytesRetrans). A connection that was reset or given up is closed; that
// is looked at first, since a closed connection may have dropped its counts.
Acknowledgement::State Acknowledgement::of(int handle, std::uint64_t written) noexcept
{
    DWORD version = 0;
    TCP_INFO_v0 info{};
    DWORD bytes = 0;
    if (::WSAIoctl(static_cast<SOCKET>(handle), SIO_TCP_INFO, &version, sizeof(version), &info,
                   sizeof(info), &bytes, nullptr, nullptr) != 0)
    {
        switch (::WSAGetLastError())
        {
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENETRESET:
        case WSAENOTCONN:
        case WSAENOTSOCK:
            return State::failed;
        default: // older than Windows 10 1703, or a system that does not answer it
            return State::unknown;
        }
    }
    if (bytes < sizeof(info))
        return State::unknown;
    if (info.State == TCPSTATE_CLOSED)
        return State::failed;

    const std::uint64_t sentOnce =
        info.BytesOut >= info.BytesRetrans ? info.BytesOut - info.BytesRetrans : 0;
    return info.BytesInFlight == 0 && sentOnce >= written ? State::all : State::pending;
}
