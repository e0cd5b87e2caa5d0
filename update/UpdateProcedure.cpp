// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/UpdateProcedure.h"

#include "net/NetworkSetup.h"
#include "net/NetworkSetupThread.h"
#include "net/UpdateFile.h"
#include "record/DiagnosticLog.h"
#include "record/RunRecord.h"
#include "record/ThreadRelease.h"
#include "update/MixerIntake.h"

#include <utility>

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

UpdateProcedure::UpdateProcedure(Hooks h, StageEnded ended, int mixers, double stall,
                                 juce::StringArray only)
    : juce::Thread("KVR516_UPDATE"), hooks(std::move(h)), stageEnded(std::move(ended)),
      wanted(juce::jmax(1, mixers)), stallMs(stall), onlyFrom(std::move(only))
{
    if (hooks.programFile == juce::File())
        hooks.programFile = UpdateFile::thisProgram();
}

UpdateProcedure::~UpdateProcedure()
{
    stop();

    // The stages have released their threads; what is left is each mixer's
    // delivery, the intake (between the connect and the send stage of
    // several mixers, or where the send stage never ran) and the interface
    // list. A sending thread that was given up (ThreadRelease)
    // shares its connection, which closes once it has been deleted too; a
    // thread of the connect stage given up may still read the interface
    // list, which then stays until the process ends.
    stopDeliveries();
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        deliveries.clear();
    }
    intake.reset();
    if (ThreadRelease::givenUp() > 0)
    {
        [[maybe_unused]] auto* keptSetup = setup.release();
    }
    setup.reset();
}

void UpdateProcedure::setMixersWanted(int mixers)
{
    // The worker's start and stop order this write against its reads.
    jassert(!isThreadRunning());
    wanted = juce::jmax(1, mixers);
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
    return text + "_" + stageCode(stage, r);
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
        // A failure, not a cancel: each mixer still sending ends with the
        // stage's code, and says so in the record.
        stopDeliveries(r);
        accepting = false;
        intake.reset();
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
        if (measured.size >= 0)
            updateFileHash = Sha256::hex(measured.hash);
    }
    if (measured.size >= 0)
        RunRecord::noteUpdateFile(getUpdateFile().getFileName(), measured.size,
                                  Sha256::hex(measured.hash));
    return stageResultOf(setup->getResult());
}

// The intake opens (the port listens, then the computer is announced); then
// the stage waits for the first mixer, the intake's failure or a cancel.
StageResult UpdateProcedure::runConnect()
{
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        announced.reset();
    }
    enoughMixers = false;
    mixerWaitResult = StageResult::success;
    firewallVerdict.store(FirewallCheck::Verdict::unknown);
    intake = std::make_unique<MixerIntake>(
        wanted, onlyFrom, [this](juce::Thread& thread) { return startStageThread(thread); });
    const StageResult opened =
        intake->open(*setup, makeInterfaceQuery(), [this] { return threadShouldExit(); });
    if (opened != StageResult::success)
        return endConnect(opened);
    for (;;)
    {
        // Read first: a connection accepted before a failure is taken.
        const StageResult failed = intake->failure();
        if (takeConnections() > 0)
        {
            accepting = true;
            if (static_cast<int>(deliveries.size()) >= wanted)
                endAccepting();
            return StageResult::success;
        }
        if (failed != StageResult::success)
            return endConnect(failed);
        if (threadShouldExit())
            return endConnect(StageResult::cancelled);
        noteAnnouncing();
        wait(pollMs);
    }
}

void UpdateProcedure::noteAnnouncing()
{
    const MixerIntake::Announcing now = intake->look();
    if (now.listed)
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        announced = now.addresses;
        onNoNetwork = now.onNoNetwork;
    }
    firewallVerdict.store(now.firewall);
}

int UpdateProcedure::takeConnections()
{
    int taken = 0;
    for (;;)
    {
        std::vector<MixerDelivery::Report> come;
        for (const auto& delivery : deliveries)
            come.push_back(delivery->report());
        const std::optional<MixerIntake::Arrival> a = intake->next(come);
        if (!a)
            break;
        const juce::String address = a->socket->getHostName();
        const int attempt = a->decision.attempt;
        // Where there are several, each sending thread's lines name their mixer.
        auto delivery = std::make_unique<MixerDelivery>(
            a->socket, hooks.programFile, setup->getUpdateFile(), stallMs, attempt, wanted > 1);
        const juce::String name = MixerDelivery::nameOf(address, attempt);
        if (attempt > 1)
            DiagnosticLog::line(name + ": connected again");
        RunRecord::noteMixer(name.fromFirstOccurrenceOf("mixer ", false, false));
        std::unique_ptr<MixerDelivery> lastTry; // deleted without the lock
        {
            const std::lock_guard<std::mutex> lock(shownLock);
            if (deliveries.empty())
                mixerAddress = address;
            if (a->decision.admission == MixerIntake::Admission::newMixer)
                deliveries.push_back(std::move(delivery));
            else
                lastTry = std::exchange(deliveries[a->decision.place], std::move(delivery));
        }
        ++taken;
    }
    const std::lock_guard<std::mutex> lock(shownLock);
    turnedAway = intake->getTurnedAway();
    return taken;
}

void UpdateProcedure::keepAccepting()
{
    const StageResult failed = intake->failure();
    takeConnections();
    if (static_cast<int>(deliveries.size()) >= wanted || failed != StageResult::success ||
        enoughMixers)
    {
        if (failed != StageResult::success)
            DiagnosticLog::line("waiting for more mixers ended: _" +
                                stageCode(Phase::connect, failed));
        mixerWaitResult = failed;
        endAccepting();
        return;
    }
    noteAnnouncing();
}

void UpdateProcedure::endAccepting()
{
    // A mixer accepted before the port closed is served, or named as turned
    // away: never dropped unsaid.
    intake->close();
    takeConnections();
    intake.reset();
    accepting = false;
}

void UpdateProcedure::stopDeliveries(StageResult why)
{
    for (const auto& delivery : deliveries)
        delivery->stop(why);
    for (const auto& delivery : deliveries)
        delivery->poll();
}

StageResult UpdateProcedure::endConnect(StageResult r)
{
    accepting = false;
    intake.reset();
    return r;
}

// Each mixer's send starts as it connects and is looked at a few times a
// second until it ends; the stage ends once no more mixers are awaited and
// every send has ended. Its result is the first failure of a mixer, in the
// order they came. Each delivery knows whether it has started and logs its
// own end: a stop at any instant finds nothing half made.
StageResult UpdateProcedure::runSend()
{
    // Without a connection nothing can be sent: the length's code, as for a
    // connection that fails at once.
    if (deliveries.empty() && !accepting)
        return StageResult::code2;
    const auto startThread = [this](juce::Thread& thread) { return startStageThread(thread); };
    while (!threadShouldExit())
    {
        // Each send is looked at before more connections are taken, so that a
        // mixer whose send has just failed is known as such when it comes back.
        bool allEnded = true;
        for (const auto& delivery : deliveries)
        {
            if (!delivery->hasStarted())
                delivery->start(startThread);
            allEnded = delivery->poll() && allEnded;
        }
        // One more pass once the wait has ended starts what it took.
        if (accepting)
        {
            keepAccepting();
            allEnded = false;
        }
        if (allEnded)
            break;
        wait(pollMs);
    }
    if (threadShouldExit())
    {
        if (accepting)
            endAccepting();
        stopDeliveries(StageResult::cancelled);
        return StageResult::cancelled;
    }

    // The record's transfer is the longest of those that finished, with its
    // own confirmation.
    StageResult r = StageResult::success;
    std::optional<MixerDelivery::Report> longest;
    for (const auto& delivery : deliveries)
    {
        const MixerDelivery::Report report = delivery->report();
        if (r == StageResult::success && !report.finished())
            r = report.result;
        if (report.finished() && (!longest || report.deliveryMs > longest->deliveryMs))
            longest = report;
    }
    if (longest)
        RunRecord::noteDelivery(longest->deliveryMs, !longest->unconfirmed);
    return r;
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

juce::String UpdateProcedure::getUpdateFileHash() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return updateFileHash;
}

bool UpdateProcedure::isDeliveryUnconfirmed() const
{
    for (const MixerDelivery::Report& r : getDeliveries())
        if (r.unconfirmed)
            return true;
    return false;
}

juce::StringArray UpdateProcedure::getTurnedAway() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return turnedAway;
}

std::vector<MixerDelivery::Report> UpdateProcedure::getDeliveries() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    std::vector<MixerDelivery::Report> reports;
    for (const auto& delivery : deliveries)
        reports.push_back(delivery->report());
    return reports;
}

juce::String UpdateProcedure::getMixerAddress() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return mixerAddress;
}

SendProgress::Figures UpdateProcedure::getSendProgress() const
{
    const std::lock_guard<std::mutex> lock(shownLock);
    return deliveries.empty() ? SendProgress::Figures{} : deliveries.front()->report().figures;
}
