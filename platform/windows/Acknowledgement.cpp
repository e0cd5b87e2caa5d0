// KVR516_UPDATE, GPL-3.0-or-later.

// TCP_INFO_v0 comes with Windows 10 version 1703 (Server 2016).
#define NTDDI_VERSION 0x0A000003 // NTDDI_WIN10_RS2
#include "platform/Acknowledgement.h"

#include <winsock2.h>
// After winsock2.h, whose types it uses.
#include <mstcpip.h>

// SIO_TCP_INFO (version 0) tells the bytes sent and not yet acknowledged
// (BytesInFlight), but not the bytes written and not yet sent: the bytes
// acknowledged are the bytes sent once (BytesOut less the bytes sent again,
// BytesRetrans) less those in flight, and the rest of the bytes written is
// unacknowledged. Microsoft documents neither how BytesInFlight is counted
// nor whether BytesOut counts retransmissions; during loss recovery the point
// of the next send is pulled back, so a 0 may be read while the tail still
// waits for its acknowledgement: the reading asks for confirmation.
//
// A system that does not know the query (older than Windows 10 1703, or a
// provider without it) refuses it with WSAEOPNOTSUPP, or with WSAEINVAL, which
// WSAIoctl gives for a control code it does not know, but also for other
// invalid arguments: a refusal means "cannot tell" only at a connection's first
// query (DeliveryWatch decides that once). Any other error, and an answer
// shorter than version 0's, is a failure.
Acknowledgement::Reading Acknowledgement::read(int handle, std::uint64_t written) noexcept
{
    Reading reading;
    DWORD version = 0;
    TCP_INFO_v0 info{};
    DWORD bytes = 0;
    if (::WSAIoctl(static_cast<SOCKET>(handle), SIO_TCP_INFO, &version, sizeof(version), &info,
                   sizeof(info), &bytes, nullptr, nullptr) != 0)
    {
        reading.error = ::WSAGetLastError();
        reading.answer = reading.error == WSAEOPNOTSUPP || reading.error == WSAEINVAL
                             ? Answer::refused
                             : Answer::failed;
        return reading;
    }
    if (bytes < sizeof(info))
        return reading;

    reading.answer = Answer::answered;
    reading.closed = info.State == TCPSTATE_CLOSED;
    reading.needsConfirmation = true;
    reading.bytesOut = info.BytesOut;
    reading.bytesRetransmitted = info.BytesRetrans;
    reading.timeoutEpisodes = info.TimeoutEpisodes;
    reading.roundTripUs = info.RttUs;

    // Counters that cannot all be true together are no reading at all: no
    // count of unacknowledged bytes is derived from them.
    const std::uint64_t sentOnce =
        info.BytesOut >= info.BytesRetrans ? info.BytesOut - info.BytesRetrans : 0;
    const std::uint64_t acknowledged =
        sentOnce >= info.BytesInFlight ? sentOnce - info.BytesInFlight : 0;
    reading.inconsistent = info.BytesRetrans > info.BytesOut || info.BytesInFlight > sentOnce ||
                           acknowledged > written;
    reading.unacknowledged = written > acknowledged ? written - acknowledged : 0;
    return reading;
}
