// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/NetworkSetupThread.h"

NetworkSetupThread::NetworkSetupThread(const juce::File& program, std::unique_ptr<InterfaceQuery> q)
    : juce::Thread("KVR516_UPDATE"), programFile(program), query(std::move(q))
{
}

NetworkSetupThread::~NetworkSetupThread()
{
    stopThread(-1);
}

std::unique_ptr<NetworkSetup> NetworkSetupThread::takeSetup()
{
    return hasBuilt() ? std::move(setup) : nullptr;
}

void NetworkSetupThread::run()
{
    setup =
        std::make_unique<NetworkSetup>(programFile, *query, [this] { return threadShouldExit(); });
    built.store(true, std::memory_order_release);
}
