// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/CancelRequest.h"

#include <atomic>
#include <csignal>

namespace
{
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void noteRequest(int)
{
    requested.store(true);
}
} // namespace

void CancelRequest::install()
{
    struct sigaction action = {};
    action.sa_handler = noteRequest;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool CancelRequest::isRequested() noexcept
{
    return requested.load();
}

void CancelRequest::runEnded() {}
