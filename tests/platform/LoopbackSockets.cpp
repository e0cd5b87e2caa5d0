// KVR516_UPDATE, GPL-3.0-or-later.
#include "LoopbackSockets.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include <vector>

LoopbackSockets::LoopbackSockets()
{
    listenerEnd.createListener(0, "127.0.0.1");
}

bool LoopbackSockets::listening() const
{
    return listenerEnd.isConnected() && listenerEnd.getBoundPort() > 0;
}

bool LoopbackSockets::connect()
{
    clientEnd = std::make_unique<juce::StreamingSocket>();
    return listening() && clientEnd->connect("127.0.0.1", listenerEnd.getBoundPort(), 5000);
}

bool LoopbackSockets::accept()
{
    serverEnd.reset(listenerEnd.waitForNextConnection());
    return serverEnd != nullptr;
}

void LoopbackSockets::resetServerEnd()
{
    // A linger of zero makes the close a reset.
    linger immediately{};
    immediately.l_onoff = 1;
    immediately.l_linger = 0;
    ::setsockopt(static_cast<decltype(::socket(0, 0, 0))>(serverEnd->getRawSocketHandle()),
                 SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&immediately),
                 sizeof(immediately));
    serverEnd.reset();
}

void LoopbackSockets::drainServerEnd()
{
    std::vector<char> bytes(1 << 20);
    while (serverEnd->waitUntilReady(true, 0) == 1 &&
           serverEnd->read(bytes.data(), static_cast<int>(bytes.size()), false) > 0)
    {
    }
}
