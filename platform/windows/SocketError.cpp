// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SocketError.h"

#include <winsock2.h>

#include <system_error>

juce::String SocketError::lastText()
{
    // Windows Sockets keep their error apart from errno; the system category
    // gives the system's message for it.
    return std::system_category().message(::WSAGetLastError());
}
