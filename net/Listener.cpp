// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Listener.h"

#include "platform/AcceptFailure.h"
#include "platform/SocketOptions.h"
#include "record/DiagnosticLog.h"

Listener::Listener(int connections)
    : juce::Thread("KVR516_UPDATE"), wanted(juce::jmax(1, connections))
{
    addListener(&closeOnStop);
}

Listener::~Listener()
{
    close();

    // The wait ends at once on the wake-up, so run returns at once; the thread
    // is never killed.
    stopThread(-1);
    removeListener(&closeOnStop);

    // Only now, with nobody accepting any more, is the listening socket closed.
    // JUCE's close wakes a blocked accept by connecting to the socket itself;
    // that connection lands in a queue that the close then discards.
    listeningSocket.reset();

    // A connection accepted while its taker gave up waiting belongs to nobody
    // else: it is closed here (accepted's) rather than left open until the
    // process ends.
}

juce::StreamingSocket* Listener::getConnectedSocket()
{
    const std::lock_guard<std::mutex> guard(lock);
    if (accepted.empty())
        return nullptr;
    juce::StreamingSocket* taken = accepted.front().release();
    accepted.pop_front();
    return taken;
}

void Listener::close()
{
    const std::lock_guard<std::mutex> guard(lock);
    closing = true;
    wakeUp.signal();
}

bool Listener::waitUntilListening(int timeoutMs)
{
    return settled.wait(timeoutMs);
}

void Listener::finish(Status value)
{
    status.store(value, std::memory_order_release);
    settled.signal();
}

// Whatever is thrown out of the work (no memory, a system library's failure)
// ends it as listening that failed, or as a wait without a connection.
void Listener::run()
{
    try
    {
        listenAndAccept();
    }
    catch (...)
    {
        DiagnosticLog::thrown("listening for the mixer");
        if (getStatus() == Status::running)
            finish(isListening() ? Status::noConnection : Status::listenFailed);
    }
}

void Listener::listenAndAccept()
{
    int handle = -1;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (closing)
        {
            finish(Status::noConnection);
            return;
        }

        listeningSocket = std::make_unique<juce::StreamingSocket>();
        if (!wakeUp.isValid() || !listeningSocket->createListener(Protocol::listenerPort))
        {
            DiagnosticLog::line("cannot listen on TCP port " +
                                juce::String(Protocol::listenerPort));
            finish(Status::listenFailed);
            return;
        }

        // Accepting never blocks: the wait is the one below, which the
        // destructor's wake-up ends.
        handle = listeningSocket->getRawSocketHandle();
        if (!SocketOptions::makeNonBlocking(handle))
        {
            finish(Status::listenFailed);
            return;
        }
    }
    listening.store(true, std::memory_order_release);
    settled.signal();
    DiagnosticLog::line("waiting for the mixer on TCP port " +
                        juce::String(Protocol::listenerPort));

    for (;;)
    {
        if (wakeUp.wait(handle, -1) != WakeUp::Woken::readable)
            break; // signalled, or the wait failed

        AcceptFailure::clear();
        std::unique_ptr<juce::StreamingSocket> peer(listeningSocket->waitForNextConnection());
        if (peer == nullptr)
        {
            if (AcceptFailure::peerGaveUp())
                continue;
            break;
        }

        const std::lock_guard<std::mutex> guard(lock);
        if (closing)
            break; // peer's destructor closes it: it is handed to nobody
        if (!peer->isConnected())
            continue;

        DiagnosticLog::line("connected from " + peer->getHostName());
        // JUCE turns Nagle's algorithm off on the accepted connection without
        // looking at the outcome: the last piece must leave at once, not wait
        // for an acknowledgement of the one before.
        if (!SocketOptions::set(peer->getRawSocketHandle(), SocketOptions::Option::noDelay, 1))
            DiagnosticLog::line("cannot send each piece at once on the connection (TCP_NODELAY)");
        accepted.push_back(std::move(peer));
        if (++acceptedCount == wanted)
        {
            finish(Status::connected);
            return;
        }
    }

    finish(Status::noConnection);
}
