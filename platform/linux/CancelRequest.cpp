// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/CancelRequest.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace
{
std::atomic<bool> requested{false};
std::atomic<int> interrupts{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "set from a signal handler");

// The handler wakes the watcher through this pipe: a write is all a handler
// may do of the ending.
int wake[2] = {-1, -1};
CancelRequest::EndAtOnce endAtOnce = nullptr;
std::mutex endingLock;
bool runHasEnded = false; // guarded by endingLock

extern "C" void noteRequest(int signal)
{
    const int savedErrno = errno;
    requested.store(true);
    if (signal == SIGINT && interrupts.fetch_add(1) >= 1)
    {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(wake[1], &byte, 1);
    }
    errno = savedErrno;
}

// Waits, on a thread of its own, for the second interrupt.
void watch()
{
    char byte = 0;
    ssize_t got = 0;
    while ((got = read(wake[0], &byte, 1)) < 0 && errno == EINTR)
    {
    }
    if (got != 1)
        return;
    const std::lock_guard<std::mutex> guard(endingLock);
    if (!runHasEnded)
        std::_Exit(endAtOnce());
}
} // namespace

void CancelRequest::install(EndAtOnce e)
{
    endAtOnce = e;
    if (pipe2(wake, O_CLOEXEC) == 0)
        std::thread(watch).detach();

    struct sigaction action = {};
    action.sa_handler = noteRequest;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool CancelRequest::isRequested() noexcept
{
    return requested.load();
}

void CancelRequest::runEnded()
{
    const std::lock_guard<std::mutex> guard(endingLock);
    runHasEnded = true;
}
