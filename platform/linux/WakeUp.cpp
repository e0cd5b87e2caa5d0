// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/WakeUp.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

WakeUp::WakeUp() : handle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeUp::~WakeUp()
{
    if (handle >= 0)
        ::close(static_cast<int>(handle));
}

bool WakeUp::isValid() const noexcept
{
    return handle >= 0;
}

void WakeUp::signal() noexcept
{
    if (handle < 0)
        return;
    // The counter is never read, so it stays readable from here on.
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(static_cast<int>(handle), &one, sizeof(one));
}

WakeUp::Woken WakeUp::wait(int socketHandle, int timeoutMs) noexcept
{
    if (handle < 0)
        return Woken::failed;

    for (;;)
    {
        pollfd fds[2] = {{static_cast<int>(handle), POLLIN, 0}, {socketHandle, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            return Woken::failed;
        }
        if (fds[0].revents != 0)
            return Woken::signalled;
        if (fds[1].revents != 0)
            return Woken::readable;
        if (ready == 0)
            return Woken::timedOut;
    }
}
