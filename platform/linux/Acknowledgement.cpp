// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/Acknowledgement.h"

#include <cerrno>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace
{
// SIOCOUTQ counts the bytes written and not yet acknowledged, sent or not (the
// kernel's write_seq - snd_una); it only goes down as acknowledgements arrive,
// and a reset leaves it as it was.
bool unacknowledgedBytes(int handle, Acknowledgement::Reading& reading) noexcept
{
    int count = 0;
    if (::ioctl(handle, SIOCOUTQ, &count) != 0 || count < 0)
    {
        reading.error = count < 0 ? EINVAL : errno;
        reading.answer = reading.error == ENOTTY || reading.error == EOPNOTSUPP
                             ? Acknowledgement::Answer::refused
                             : Acknowledgement::Answer::failed;
        return false;
    }
    reading.unacknowledged = static_cast<std::uint64_t>(count);
    return true;
}
} // namespace

// A connection that was reset, or that the system gave up retransmitting on,
// is closed (TCP_INFO's state). The count is read once more after a closed
// state: a peer that acknowledged every byte and then reset may have done so
// between the two queries, and what the count says after the close is what
// holds.
Acknowledgement::Reading Acknowledgement::read(int handle, std::uint64_t) noexcept
{
    Reading reading;
    if (!unacknowledgedBytes(handle, reading))
        return reading;

    tcp_info info{};
    socklen_t size = sizeof(info);
    if (::getsockopt(handle, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
    {
        reading.error = errno;
        return reading;
    }
    reading.closed = info.tcpi_state == TCP_CLOSE;
    if (reading.closed && !unacknowledgedBytes(handle, reading))
        return reading;
    reading.answer = Answer::answered;
    return reading;
}
