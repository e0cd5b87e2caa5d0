// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/TaskbarProgress.h"

#include <windows.h>

#include <shobjidl.h>

#include <cmath>

// Called on the message thread only, where the framework has initialised COM
// apartment-threaded (OleInitialize) before any window exists; the taskbar's
// object lives in that apartment. It is asked for once: where it cannot be
// had (no shell, an older system) nothing is ever shown. It is never
// released: the process ends with it, after the framework has uninitialised
// COM, when a release would be too late.
//
// Until the window's taskbar button exists (Windows sends the message
// "TaskbarButtonCreated" then), and while Explorer is not running, the calls
// fail with an HRESULT; only a call that succeeded is remembered, so the next
// one (four times a second while sending) tries again, and nothing is asked
// twice once the button shows it.
void TaskbarProgress::show(void* nativeWindow, State state, double fraction) noexcept
{
    static constexpr ULONGLONG total = 1000;
    static ITaskbarList3* taskbar = nullptr;
    static bool asked = false;
    static HWND shownOn = nullptr;
    static State shownState = State::none;
    static ULONGLONG shownValue = total + 1; // none shown yet

    if (!asked)
    {
        asked = true;
        void* object = nullptr;
        if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_ITaskbarList3, &object)))
        {
            taskbar = static_cast<ITaskbarList3*>(object);
            if (FAILED(taskbar->HrInit()))
            {
                taskbar->Release();
                taskbar = nullptr;
            }
        }
    }
    const auto window = static_cast<HWND>(nativeWindow);
    if (taskbar == nullptr || window == nullptr)
        return;

    if (window != shownOn)
    {
        shownOn = window;
        shownState = State::none;
        shownValue = total + 1;
    }

    // A fraction out of range (or not a number) is shown as its nearer end.
    const double clamped = fraction >= 0.0 ? (fraction <= 1.0 ? fraction : 1.0) : 0.0;
    const auto value = static_cast<ULONGLONG>(std::lround(clamped * static_cast<double>(total)));

    // The value first: set on a button without progress it would switch it to
    // normal; the paused and error states keep their colour.
    if (state != State::none && value != shownValue)
    {
        if (FAILED(taskbar->SetProgressValue(window, value, total)))
            return;
        shownValue = value;
        if (shownState == State::none)
            shownState = State::normal; // what the value switched the button to
    }
    if (state == shownState)
        return;

    TBPFLAG flag = TBPF_NOPROGRESS;
    if (state == State::normal)
        flag = TBPF_NORMAL;
    else if (state == State::paused)
        flag = TBPF_PAUSED;
    else if (state == State::error)
        flag = TBPF_ERROR;
    if (FAILED(taskbar->SetProgressState(window, flag)))
        return;
    shownState = state;
    if (state == State::none)
        shownValue = total + 1; // the next progress starts afresh
}
