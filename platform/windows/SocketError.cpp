// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SocketError.h"
#include "platform/windows/SystemErrorText.h"

#include <winsock2.h>

juce::String SocketError::lastText()
{
    // Windows Sockets keep their error apart from errno; the system has words
    // for their codes as for its own.
    return SystemErrorText::of(static_cast<unsigned long>(::WSAGetLastError()));
}
