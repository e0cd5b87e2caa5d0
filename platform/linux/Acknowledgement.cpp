// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/Acknowledgement.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

// SIOCOUTQ counts the bytes written and not yet acknowledged, sent or not (the
// kernel's write_seq - snd_una); it only goes down as acknowledgements arrive.
// A connection that was reset, or that the system gave up retransmitting on,
// is closed.
Acknowledgement::State Acknowledgement::of(int handle, std::uint64_t) noexcept
{
    int unacknowledged = 0;
    if (::ioctl(handle, SIOCOUTQ, &unacknowledged) != 0)
        return State::unknown;
    if (unacknowledged == 0)
        return State::all;

    tcp_info info{};
    socklen_t size = sizeof(info);
    if (::getsockopt(handle, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        info.tcpi_state == TCP_CLOSE)
        return State::failed;
    return State::pending;
}
