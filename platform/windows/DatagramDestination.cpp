// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/DatagramDestination.h"

#include <winsock2.h>
#include <ws2tcpip.h>

bool DatagramDestination::resolves(const juce::String& text, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* info = nullptr;
    if (::getaddrinfo(text.toRawUTF8(), juce::String(port).toRawUTF8(), &hints, &info) != 0)
        return false;
    ::freeaddrinfo(info);
    return true;
}
