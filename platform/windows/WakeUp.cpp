// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/WakeUp.h"

#include <winsock2.h>

// The signal is a manual-reset event that is never reset. A wait ties the
// socket's accept readiness to an event of its own for its duration (a
// connection already pending sets it at once) and unties it again, so that
// an accepted socket inherits nothing from it.
WakeUp::WakeUp()
{
    const WSAEVENT event = ::WSACreateEvent();
    if (event != WSA_INVALID_EVENT)
        handle = reinterpret_cast<std::intptr_t>(event);
}

WakeUp::~WakeUp()
{
    if (handle != -1)
        ::WSACloseEvent(reinterpret_cast<WSAEVENT>(handle));
}

bool WakeUp::isValid() const noexcept
{
    return handle != -1;
}

void WakeUp::signal() noexcept
{
    if (handle != -1)
        ::WSASetEvent(reinterpret_cast<WSAEVENT>(handle));
}

WakeUp::Woken WakeUp::wait(int socketHandle, int timeoutMs) noexcept
{
    if (handle == -1)
        return Woken::failed;

    const auto signalEvent = reinterpret_cast<WSAEVENT>(handle);
    const auto socket = static_cast<SOCKET>(socketHandle);
    const WSAEVENT acceptEvent = ::WSACreateEvent();
    if (acceptEvent == WSA_INVALID_EVENT)
        return Woken::failed;

    Woken woken = Woken::failed;
    if (::WSAEventSelect(socket, acceptEvent, FD_ACCEPT) == 0)
    {
        const WSAEVENT events[2] = {signalEvent, acceptEvent};
        const DWORD result = ::WSAWaitForMultipleEvents(
            2, events, FALSE, timeoutMs < 0 ? WSA_INFINITE : static_cast<DWORD>(timeoutMs), FALSE);

        if (::WaitForSingleObject(signalEvent, 0) == WAIT_OBJECT_0)
            woken = Woken::signalled;
        else if (result == WSA_WAIT_EVENT_0 + 1)
            woken = Woken::readable;
        else if (result == WSA_WAIT_TIMEOUT)
            woken = Woken::timedOut;

        ::WSAEventSelect(socket, nullptr, 0);
    }
    ::WSACloseEvent(acceptEvent);
    return woken;
}
