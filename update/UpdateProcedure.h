// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/FirewallCheck.h"
#include "platform/InterfaceQuery.h"
#include "update/MixerDelivery.h"
#include "update/Phase.h"
#include "update/SendProgress.h"
#include "update/StageResult.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class MixerIntake;
class NetworkSetup;

// One update, without a window: the three stages (initialise: the update file
// and the network interfaces are checked; connect: the computer is announced
// and the mixer's connection accepted; send: the file goes to the mixer), in
// that order, each run on this object's own worker thread, one stage per
// start. It owns what the stages make: the check's result, the Broadcast and
// Listener threads, and each mixer's delivery (MixerDelivery). Whoever drives
// it (the window, the console) starts each stage, is told on the worker
// thread when it has ended, and reads its result.
//
// An update can be for several mixers at once. The connect stage then ends
// with the first mixer's connection, and the send stage goes on announcing
// and accepting until every mixer asked for has connected (or the driver
// stops the wait): each mixer's send starts as it connects, beside the
// others', and the stage ends once every one has ended.
class UpdateProcedure : private juce::Thread
{
public:
    // What the update reaches outside itself. Every member left empty means
    // the real thing; tests fill in their own.
    struct Hooks
    {
        // The program beside which the update file lies (default: this program).
        juce::File programFile;
        // The interface list of the initialise and connect stages (default: the platform's).
        std::function<std::unique_ptr<InterfaceQuery>()> interfaceQuery;
        // Called first on the worker thread each time a stage starts.
        std::function<void()> workerStarted;
        // Runs in place of the stage of worker phase 1, 3 or 4; it is given the
        // worker, whose stop request it is to honour, and returns the result.
        std::function<StageResult(Phase phase, juce::Thread& worker)> stage;
        // Starts a thread of the update (the worker, Broadcast, Listener,
        // FirewallWatch or Update) in place of Thread::startThread; returns
        // whether it runs.
        std::function<bool(juce::Thread& thread)> startThread;
    };

    // Told of each stage's end, on the worker thread, once its result can be
    // read (or on the caller's thread when the worker cannot be started).
    using StageEnded = std::function<void()>;

    // For mixers mixers (one unless asked). stallMs above 0: a mixer that
    // takes nothing for that long has its send ended ("_S3"). onlyFrom, when
    // not empty, lists the only addresses whose connections are taken (the
    // mixers to try again after a failure); any other is closed at once.
    UpdateProcedure(Hooks hooks, StageEnded stageEnded, int mixers = 1, double stallMs = 0,
                    juce::StringArray onlyFrom = {});
    // Stops the worker without a time limit, then releases what the stages
    // made; a thread given up keeps the connection and the check's result.
    ~UpdateProcedure() override;

    // Starts the stage of phase (initialise, connect or send) on the worker,
    // once the last stage's has returned. A worker that cannot be started ends the stage
    // at once with its code for that ("_I3", "_C3" or "_S4"), and so does one
    // whose stage throws.
    void start(Phase stage);
    // Asks the running stage to stop and waits, without a time limit, until
    // it has returned (at once when none runs).
    void stop();
    // Waits at most timeoutMs for the running stage to end by itself; true
    // when none runs.
    bool waitUntilStageEnded(int timeoutMs) { return waitForThreadToExit(timeoutMs); }

    // The result of the stage that ran last.
    StageResult getResult() const noexcept { return result.load(); }
    // After a send stage that succeeded: true where the system could not tell
    // whether a mixer acknowledged the end of the file.
    bool isDeliveryUnconfirmed() const;

    // What the user is shown while a stage runs; from any thread. The
    // addresses the connect stage announces on now, in the order listed;
    // nothing until its first listing.
    std::optional<juce::StringArray> getAnnouncedAddresses() const;
    // True while the connect stage finds the computer on no network but
    // loopback: it waits for one, and the user is to connect it.
    bool isOnNoNetwork() const;
    // The first mixer's address once the connect stage has succeeded; empty before.
    juce::String getMixerAddress() const;
    // The update file the stages check and send (beside the program, or the
    // one named as Hooks.programFile), and its size in bytes as the check
    // measured it: -1 before a check that could read it.
    juce::File getUpdateFile() const;
    juce::int64 getUpdateFileSize() const;
    // Its SHA-256 as the check measured it, 64 lower-case hex digits; empty
    // before a check that could read it.
    juce::String getUpdateFileHash() const;
    // The first mixer's send figures, during the send stage and after.
    SendProgress::Figures getSendProgress() const;

    // How many mixers the update is for. Set (1 or more) while no stage
    // runs, before the connect stage: the window's user chooses it after the
    // check.
    int getMixersWanted() const noexcept { return wanted; }
    void setMixersWanted(int mixers);
    // Every mixer come so far, in the order they came: its address, figures
    // and, once ended, its outcome; of a mixer that came again after a
    // failure, its last try.
    std::vector<MixerDelivery::Report> getDeliveries() const;
    // New mixers that connected once every mixer asked for had come, in the
    // order they came: accepted, and closed at once.
    juce::StringArray getTurnedAway() const;
    // Ends the wait for more mixers: those connected go on to their end.
    void stopWaitingForMixers() noexcept { enoughMixers = true; }
    // True while the update announces and accepts more mixers.
    bool isWaitingForMixers() const noexcept { return accepting; }
    // How the wait for more mixers ended: success when every mixer came or
    // the driver stopped it, otherwise the connect stage's code of the
    // failure ("_C1" to "_C4").
    StageResult getMixerWaitResult() const noexcept { return mixerWaitResult; }
    // While the connect stage waits: what the firewall does to the mixer's
    // connection on the networks announced on, judged again every few seconds.
    FirewallCheck::Verdict getFirewallVerdict() const noexcept { return firewallVerdict.load(); }

    // The stage's name and its result as the diagnostic log and the record give them.
    static juce::String describe(Phase stage, StageResult result);

private:
    void run() override;
    bool startStageThread(juce::Thread& thread);
    std::unique_ptr<InterfaceQuery> makeInterfaceQuery() const;

    StageResult runInitialise();
    StageResult runConnect();
    // Releases the connect stage's threads (Broadcast first) and returns r.
    StageResult endConnect(StageResult r);
    StageResult runSend();
    // Makes a delivery of each connection the intake admits (a new mixer,
    // or a mixer's next try in its place); how many it made.
    int takeConnections();
    // Publishes the addresses announced on and the firewall's verdict.
    void noteAnnouncing();
    // In the send stage: more connections, and the end of the wait for them.
    void keepAccepting();
    // No more mixers: the announcing stops and the port is closed.
    void endAccepting();
    // Asks every delivery to stop, then ends each: cancelled, or with the
    // code of the failure that stopped them all.
    void stopDeliveries(StageResult why = StageResult::cancelled);

    Hooks hooks;
    StageEnded stageEnded;

    int wanted; // the worker reads it; set only while no stage runs
    const double stallMs;
    const juce::StringArray onlyFrom;
    std::atomic<StageResult> result{StageResult::success};
    Phase stagePhase = Phase::notShown; // set before each start of the worker, read by it
    std::atomic<bool> enoughMixers{false};
    std::atomic<bool> accepting{false};
    std::atomic<StageResult> mixerWaitResult{StageResult::success};

    // Written by the worker, read by the window or the console.
    mutable std::mutex shownLock;
    std::optional<juce::StringArray> announced;
    bool onNoNetwork = false;
    juce::String mixerAddress;
    juce::StringArray turnedAway;
    juce::int64 updateFileSize = -1;
    juce::String updateFileHash;
    // Changed by the worker alone, under the lock, which reads them without it.
    std::vector<std::unique_ptr<MixerDelivery>> deliveries;
    std::atomic<FirewallCheck::Verdict> firewallVerdict{FirewallCheck::Verdict::unknown};

    // Made and used by the worker only, released after it has stopped.
    std::unique_ptr<MixerIntake> intake; // from the connect stage until every mixer came
    std::unique_ptr<NetworkSetup> setup;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(UpdateProcedure)
};
