// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Listener.h"

#include "net/DiagnosticLog.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace
{
// The connection that made the listening socket readable went away before it
// was accepted, or came with a network error of its own: wait for the next
// one. Anything else (no descriptors left, for instance) ends the wait.
bool peerGaveUp(int error)
{
    switch (error)
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
} // namespace

Listener::Listener() : juce::Thread("KVR516_UPDATE")
{
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Listener::~Listener()
{
    close();

    // The wait ends at once on the wake-up, so run returns well within this.
    stopThread(100);

    // Only now, with nobody accepting any more, is the listening socket closed.
    // JUCE's close wakes a blocked accept by connecting to the socket itself;
    // that connection lands in a queue that the close then discards.
    listeningSocket.reset();

    // A connection accepted while its taker gave up waiting belongs to nobody
    // else: it is closed here rather than left open until the process ends.
    delete connectedSocket.exchange(nullptr, std::memory_order_acq_rel);

    if (wakeFd >= 0)
        ::close(wakeFd);
}

void Listener::close()
{
    const std::lock_guard<std::mutex> guard(lock);
    closing = true;
    if (wakeFd >= 0)
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd, &one, sizeof(one));
    }
}

void Listener::run()
{
    int handle = -1;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (closing)
        {
            finish(noConnection);
            return;
        }

        listeningSocket = std::make_unique<juce::StreamingSocket>();
        if (wakeFd < 0 || !listeningSocket->createListener(port))
        {
            DiagnosticLog::line("cannot listen on TCP port " + juce::String(port));
            finish(listenFailed);
            return;
        }

        // Accepting never blocks: the wait is the poll below, which the
        // destructor's wake-up ends.
        handle = listeningSocket->getRawSocketHandle();
        const int flags = ::fcntl(handle, F_GETFL, 0);
        if (flags < 0 || ::fcntl(handle, F_SETFL, flags | O_NONBLOCK) != 0)
        {
            finish(listenFailed);
            return;
        }
    }
    DiagnosticLog::line("waiting for the mixer on TCP port " + juce::String(port));

    for (;;)
    {
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {handle, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }

        if (fds[0].revents != 0)
            break;

        if (fds[1].revents == 0)
            continue;

        errno = 0;
        std::unique_ptr<juce::StreamingSocket> accepted(listeningSocket->waitForNextConnection());
        if (accepted == nullptr)
        {
            if (peerGaveUp(errno))
                continue;
            break;
        }

        const std::lock_guard<std::mutex> guard(lock);
        if (closing || !accepted->isConnected())
            break; // accepted's destructor closes it: it is handed to nobody

        DiagnosticLog::line("connected from " + accepted->getHostName());
        connectedSocket.store(accepted.release(), std::memory_order_release);
        finish(connected);
        return;
    }

    finish(noConnection);
}
