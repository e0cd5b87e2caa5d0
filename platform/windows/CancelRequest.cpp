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
// but the system gives them only to a console process that has loaded
// neither user32.dll nor gdi32.dll, and this one has (JUCE): it learns of
// logoff and shutdown through a hidden window instead (endSessionWindow).
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
// The session is ending (logoff or shutdown): WM_QUERYENDSESSION asks, and
// the run cancels; WM_ENDSESSION tells the end, after which the system may
// end the process at any time once the window returns, so it returns once
// the run has closed its record, or after a few seconds.
LRESULT CALLBACK endSessionWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_QUERYENDSESSION)
    {
        requested.store(true);
        return TRUE;
    }
    if (message == WM_ENDSESSION)
    {
        if (wParam)
            WaitForSingleObject(ended, 4500);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window, never shown (a message-only window gets no session
// messages), and its message loop, on a thread of their own.
DWORD WINAPI watchSession(LPVOID)
{
    WNDCLASSW type = {};
    type.lpfnWndProc = endSessionWindow;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"KVR516_UPDATE console session";
    if (RegisterClassW(&type) == 0 ||
        CreateWindowExW(0, type.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                        type.hInstance, nullptr) == nullptr)
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
} // namespace

void CancelRequest::install(EndAtOnce e)
{
    endAtOnce = e;
    ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(noteRequest, TRUE);
    if (HANDLE thread = CreateThread(nullptr, 0, watchSession, nullptr, 0, nullptr))
        CloseHandle(thread);
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
