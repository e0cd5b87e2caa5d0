// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/CancelRequest.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace
{
std::atomic<bool> requested{false};
std::atomic<int> interrupts{0};
HANDLE ended = nullptr; // set by runEnded
CancelRequest::EndAtOnce endAtOnce = nullptr;

// Called by the system on a thread of its own, a new one for each event.
//
// CTRL_C_EVENT, CTRL_BREAK_EVENT: the run cancels its stage; a second Ctrl+C
// ends the process from here at once. CTRL_CLOSE_EVENT (the console window
// closed): the system ends the process once the handler returns, or after
// about 5 s: the run is given that long to stop its stage and close its
// record. CTRL_LOGOFF_EVENT and CTRL_SHUTDOWN_EVENT are handled the same way,
// but the system gives them to a console process only while it has loaded
// neither user32.dll nor gdi32.dll, which this program (a JUCE program) has:
// at logoff and shutdown the system ends it without this handler.
BOOL WINAPI noteRequest(DWORD event)
{
    requested.store(true);
    if (event == CTRL_C_EVENT && interrupts.fetch_add(1) >= 1 &&
        WaitForSingleObject(ended, 0) == WAIT_TIMEOUT)
        std::_Exit(endAtOnce());
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(ended, 4500);
    return TRUE;
}
} // namespace

void CancelRequest::install(EndAtOnce e)
{
    endAtOnce = e;
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
