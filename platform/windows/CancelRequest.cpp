// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/CancelRequest.h"

#include <windows.h>

#include <atomic>

namespace
{
std::atomic<bool> requested{false};
HANDLE ended = nullptr; // set by runEnded

// Called by the system on a thread of its own.
BOOL WINAPI noteRequest(DWORD event)
{
    requested.store(true);
    // After these the process ends once the handler returns (or after about
    // 5 s): the run is given that long to stop its stage and close its record.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(ended, 4500);
    return TRUE;
}
} // namespace

void CancelRequest::install()
{
    ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(noteRequest, TRUE);
}

bool CancelRequest::isRequested() noexcept
{
    return requested.load();
}

void CancelRequest::runEnded()
{
    if (ended != nullptr)
        SetEvent(ended);
}
