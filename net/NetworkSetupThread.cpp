// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/NetworkSetupThread.h"

#include "record/DiagnosticLog.h"

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
    try
    {
        setup = std::make_unique<NetworkSetup>(programFile, *query,
                                               [this] { return threadShouldExit(); });
    }
    catch (...)
    {
        DiagnosticLog::thrown("the check of the update file and the networks");
        setup.reset();
    }
    built.store(true, std::memory_order_release);
}
