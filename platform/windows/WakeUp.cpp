// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/WakeUp.h"

#include <winsock2.h>

// The signal is a manual-reset system event that is never reset: made
// without Windows Sockets, which need not be started when the listener makes
// it (WSACreateEvent would need WSAStartup in force). A wait ties the
// socket's accept readiness to an event of its own for its duration (a
// connection already pending sets it at once) and unties it again, so that
// an accepted socket inherits nothing from it.
WakeUp::WakeUp()
{
    if (const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr))
        handle = reinterpret_cast<std::intptr_t>(event);
}

WakeUp::~WakeUp()
{
    if (handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool WakeUp::isValid() const noexcept
{
    return handle != -1;
}

void WakeUp::signal() noexcept
{
    if (handle != -1)
        ::SetEvent(reinterpret_cast<HANDLE>(handle));
}

WakeUp::Woken WakeUp::wait(int socketHandle, int timeoutMs) noexcept
{
    if (handle == -1)
        return Woken::failed;

    const auto signalEvent = reinterpret_cast<HANDLE>(handle);
    const auto socket = static_cast<SOCKET>(socketHandle);
    const WSAEVENT acceptEvent = ::WSACreateEvent();
    if (acceptEvent == WSA_INVALID_EVENT)
        return Woken::failed;

    Woken woken = Woken::failed;
    if (::WSAEventSelect(socket, acceptEvent, FD_ACCEPT) == 0)
    {
        const HANDLE events[2] = {signalEvent, acceptEvent};
        const DWORD result = ::WaitForMultipleObjects(
            2, events, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));

        if (::WaitForSingleObject(signalEvent, 0) == WAIT_OBJECT_0)
            woken = Woken::signalled;
        else if (result == WAIT_OBJECT_0 + 1)
            woken = Woken::readable;
        else if (result == WAIT_TIMEOUT)
            woken = Woken::timedOut;

        ::WSAEventSelect(socket, nullptr, 0);
    }
    ::WSACloseEvent(acceptEvent);
    return woken;
}
