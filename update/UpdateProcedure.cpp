// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/UpdateProcedure.h"

#include "net/Broadcast.h"
#include "net/Listener.h"
#include "net/NetworkSetup.h"
#include "net/NetworkSetupThread.h"
#include "net/Update.h"
#include "net/UpdateFile.h"
#include "record/DiagnosticLog.h"
#include "record/RunRecord.h"
#include "record/ThreadRelease.h"
#include "update/FirewallWatch.h"

namespace
{
constexpr int pollMs = 10;

bool isStage(Phase p) noexcept
{
    return p == Phase::initialise || p == Phase::connect || p == Phase::send;
}

// The code of a stage whose thread cannot be started, or whose worker ended
// on an exception: "_I3", "_C3" or "_S4", which the stages report for nothing
// else.
StageResult threadNotStarted(Phase stage) noexcept
{
    return stage == Phase::send ? StageResult::code4 : StageResult::code3;
}
} // namespace

UpdateProcedure::UpdateProcedure(Hooks h, StageEnded ended)
    : juce::Thread("KVR516_UPDATE"), hooks(std::move(h)), stageEnded(std::move(ended))
{
    if (hooks.programFile == juce::File())
        hooks.programFile = UpdateFile::thisProgram();
}

UpdateProcedure::~UpdateProcedure()
{
    stop();

    // The stages have released their threads; what is left is a stopped
    // broadcast, the mixer's connection and the interface list. A sending
    // thread that was given up (ThreadRelease) shares the connection, which
    // closes once it has been deleted too; a thread of the connect stage
    // given up may still read the interface list, which then stays until the
    // process ends.
    update.reset();
    listener.reset();
    broadcast.reset();
    if (ThreadRelease::givenUp() > 0)
    {
        [[maybe_unused]] auto* keptSetup = setup.release();
    }
    connectedSocket.reset();
    setup.reset();
}

juce::String UpdateProcedure::describe(Phase stage, StageResult r)
{
    const char* name = stage == Phase::initialise ? "initialise"
                       : stage == Phase::connect  ? "connect"
                                                  : "send";
    juce::String text = juce::String(name) + " stage ended: ";
    if (r == StageResult::success)
        return text + "ok";
    if (r == StageResult::cancelled)
        return text + "cancelled";
    return text + "_" + stageLetter(stage) + juce::String(static_cast<int>(r));
}

void UpdateProcedure::start(Phase stage)
{
    // The last stage's worker may still be returning from run, having told
    // its end.
    stop();
    stagePhase = stage;
    if (startStageThread(*this))
        return;

    // Reported the way a failed stage's result is.
    result = threadNotStarted(stage);
    DiagnosticLog::line(describe(stage, result) + " (its thread cannot be started)");
    if (stageEnded)
        stageEnded();
}

void UpdateProcedure::stop()
{
    stopThread(-1);
}

// Whatever is thrown out of a stage ends it with the code of a stage whose
// thread failed, its threads released: the driver is told of the end whatever
// happened.
void UpdateProcedure::run()
{
    // The phase the stage was started for: a cancel may already have moved
    // the window on, and the stage it interrupts is still to run and be reported.
    StageResult r = StageResult::success;
    const Phase p = stagePhase;
    try
    {
        if (hooks.workerStarted)
            hooks.workerStarted();

        result = StageResult::success;
        if (isStage(p))
        {
            if (hooks.stage)
                r = hooks.stage(p, *this);
            else if (p == Phase::initialise)
                r = runInitialise();
            else if (p == Phase::connect)
                r = runConnect();
            else
                r = runSend();
        }
    }
    catch (...)
    {
        DiagnosticLog::thrown("the update's worker");
        r = threadNotStarted(p);
        ThreadRelease::release(std::move(update));
        ThreadRelease::release(std::move(firewall));
        ThreadRelease::release(std::move(broadcast));
        ThreadRelease::release(std::move(listener));
    }

    if (threadShouldExit())
        r = StageResult::cancelled;

    if (isStage(p))
        DiagnosticLog::line(describe(p, r));

    result = r;
    if (stageEnded)
        stageEnded();
}

bool UpdateProcedure::startStageThread(juce::Thread& thread)
{
    if (hooks.startThread)
        return hooks.startThread(thread);
    return thread.startThread();
}

std::unique_ptr<InterfaceQuery> UpdateProcedure::makeInterfaceQuery() const
{
    return hooks.interfaceQuery ? hooks.interfaceQuery() : InterfaceQuery::createForPlatform();
}

// The check runs on a thread of its own, released as the network threads are:
// a stop is answered within the release's wait, whatever the file system does
// with the update file.
StageResult UpdateProcedure::runInitialise()
{
    auto check = std::make_unique<NetworkSetupThread>(hooks.programFile, makeInterfaceQuery());
    if (!startStageThread(*check))
        return threadNotStarted(Phase::initialise);
    while (!check->hasBuilt())
    {
        if (threadShouldExit())
        {
            ThreadRelease::release(std::move(check));
            return StageResult::cancelled;
        }
        wait(pollMs);
    }
    setup = check->takeSetup();
    ThreadRelease::release(std::move(check));
    if (setup == nullptr) // the check ended on an exception, which the log tells
        return stageResultOf(NetworkSetup::Result::noUpdateFile);
    const UpdateFile::Measure& measured = setup->getUpdateFile();
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        updateFileSize = measured.size;
    }
    if (measured.size >= 0)
        RunRecord::noteUpdateFile(getUpdateFile().getFileName(), measured.size,
                                  Sha256::hex(measured.hash));
    return stageResultOf(setup->getResult());
}

// The port listens before the first datagram announces it, so that a mixer
// that answers at once finds it open; when listening fails, nothing has been
// announced. Then the stage waits for the mixer, the listener's failure, the
// Broadcast's failure or a cancel.
StageResult UpdateProcedure::runConnect()
{
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        announced.reset();
    }
    listener = std::make_unique<::Listener>();
    if (!startStageThread(*listener))
    {
        listener.reset();
        return threadNotStarted(Phase::connect);
    }
    while (!listener->waitUntilListening(pollMs))
        if (threadShouldExit())
            return endConnect(StageResult::cancelled);
    if (!listener->isListening())
        return endConnect(stageResultOf(listener->getStatus()));

    broadcast = std::make_unique<Broadcast>(*setup, makeInterfaceQuery());
    if (!startStageThread(*broadcast))
    {
        broadcast.reset();
        return endConnect(threadNotStarted(Phase::connect));
    }
    // Only for the hint, where the system tells: a watch that cannot start
    // leaves the verdict unknown.
    firewallVerdict.store(FirewallCheck::Verdict::unknown);
    if (FirewallCheck::tells())
    {
        firewall = std::make_unique<FirewallWatch>();
        if (!startStageThread(*firewall))
            firewall.reset();
    }

    const double broadcastFrom = juce::Time::getMillisecondCounterHiRes();
    for (;;)
    {
        const ::Listener::Status s = listener->getStatus();
        if (s == ::Listener::Status::connected)
        {
            connectedSocket.reset(listener->getConnectedSocket());
            {
                const std::lock_guard<std::mutex> lock(shownLock);
                mixerAddress = connectedSocket->getHostName();
            }
            RunRecord::noteMixer(connectedSocket->getHostName());
            broadcast->stopThread(-1);
            ThreadRelease::release(std::move(listener));
            ThreadRelease::release(std::move(firewall));
            return StageResult::success;
        }
        if (s != ::Listener::Status::running)
            return endConnect(stageResultOf(s));

        // The announcing has ended with a failure (2 or 4): no mixer can find
        // the computer any more, so the wait ends with Broadcast's code
        // rather than going on for ever.
        const Broadcast::Status b = broadcast->getStatus();
        if (b != Broadcast::Status::running && b != Broadcast::Status::stopped)
            return endConnect(stageResultOf(b));

        if (threadShouldExit())
            return endConnect(StageResult::cancelled);
        // Broadcast lists its first networks as it starts, and none is empty
        // then (the initialise stage found one, or announcing has failed): an
        // empty list before it has listed is no listing yet.
        const juce::StringArray now = broadcast->getAnnouncedAddresses();
        const bool noNetwork = broadcast->isOnNoNetwork();
        if (!now.isEmpty() || noNetwork ||
            juce::Time::getMillisecondCounterHiRes() - broadcastFrom >= Broadcast::relistMs)
        {
            const std::lock_guard<std::mutex> lock(shownLock);
            announced = now;
            onNoNetwork = noNetwork;
        }
        if (firewall != nullptr)
        {
            firewall->setAddresses(now);
            firewallVerdict.store(firewall->getVerdict());
        }
        wait(pollMs);
    }
}

StageResult UpdateProcedure::endConnect(StageResult r)
{
    ThreadRelease::release(std::move(broadcast));
    ThreadRelease::release(std::move(listener));
    ThreadRelease::release(std::move(firewall));
    return r;
}

StageResult UpdateProcedure::runSend()
{
    const UpdateFile::Measure& file = setup->getUpdateFile();
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        // Told under the lock: noted here, logged once it is let go.
        progress = std::make_unique<SendProgress>(file.size, [this](double lengthMs)
                                                  { endedPauseMs = lengthMs; });
    }

    update = std::make_unique<Update>(connectedSocket, hooks.programFile, file);
    if (!startStageThread(*update))
    {
        update.reset();
        return threadNotStarted(Phase::send);
    }

    Update::Status s = Update::Status::running;
    double nextReading = 0;
    for (;;)
    {
        s = update->getStatus();
        if (s != Update::Status::running || threadShouldExit())
            break;
        if (juce::Time::getMillisecondCounterHiRes() >= nextReading)
        {
            noteProgress(*update);
            nextReading = juce::Time::getMillisecondCounterHiRes() + progressReadingMs;
        }
        wait(pollMs);
    }

    deliveryUnconfirmed = s == Update::Status::done && !update->isConfirmed();
    if (s == Update::Status::done)
        RunRecord::noteDelivery(update->getDeliveryMs(), update->isConfirmed());
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        const double now = juce::Time::getMillisecondCounterHiRes();
        if (s == Update::Status::done)
            progress->finish(now);
        else
            progress->end(now);
    }
    logEndedPause();
    ThreadRelease::release(std::move(update));
    const bool ended = s != Update::Status::running && s != Update::Status::stopped;
    return ended ? stageResultOf(s) : StageResult::cancelled;
}

// Read here, on the worker, a few times a second, through the connection's
// DeliveryWatch, whose first reading decides for the whole connection whether
// the system tells: the sending thread makes no call for it. The figure is
// what the mixer's stack has acknowledged; where the system does not tell,
// what was written. The length's bytes are not the file's.
void UpdateProcedure::noteProgress(Update& running)
{
    const juce::int64 written = running.getBytesWritten();
    const DeliveryWatch::Progress delivery = running.readDelivery();
    std::optional<juce::int64> acknowledged;
    if (delivery.systemTells)
        acknowledged = juce::jmax<juce::int64>(0, static_cast<juce::int64>(delivery.acknowledged) -
                                                      Protocol::lengthSize);
    bool countsWritten = false;
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        progress->note(juce::jmax<juce::int64>(0, written - Protocol::lengthSize), acknowledged,
                       juce::Time::getMillisecondCounterHiRes());
        countsWritten = !progress->isAcknowledged();
    }
    logEndedPause();
    if (countsWritten && !saidFigureIsWritten)
    {
        saidFigureIsWritten = true;
        DiagnosticLog::line("this system does not tell what the mixer has acknowledged: the "
                            "sending figure counts the bytes written");
    }
}

void UpdateProcedure::logEndedPause()
{
    if (endedPauseMs <= 0)
        return;
    DiagnosticLog::line("the mixer had taken nothing for " +
                        juce::String(juce::roundToInt(endedPauseMs / 1000)) + " s until now");
    endedPauseMs = 0;
}

std::optional<juce::StringArray> UpdateProcedure::getAnnouncedAddresses() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return announced;
}

bool UpdateProcedure::isOnNoNetwork() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return onNoNetwork;
}

juce::File UpdateProcedure::getUpdateFile() const
{
    return UpdateFile::besideProgram(hooks.programFile);
}

juce::int64 UpdateProcedure::getUpdateFileSize() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return updateFileSize;
}

juce::String UpdateProcedure::getMixerAddress() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return mixerAddress;
}

SendProgress::Figures UpdateProcedure::getSendProgress() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return progress != nullptr ? progress->figures(juce::Time::getMillisecondCounterHiRes())
                               : SendProgress::Figures{};
}
