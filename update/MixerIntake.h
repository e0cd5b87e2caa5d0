// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/FirewallCheck.h"
#include "update/MixerDelivery.h"
#include "update/StageResult.h"

#include <juce_core/juce_core.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Broadcast;
class FirewallWatch;
class InterfaceQuery;
class Listener;
class NetworkSetup;

// The intake of the mixers of one update, on the update's worker thread:
// the mixer's port listens, the computer is announced on every network
// (Broadcast), the firewall is judged for the hint where the system tells
// (FirewallWatch), and each connection accepted is admitted or turned away,
// until the owner closes it. Its threads are released as it goes.
//
// It tells the mixers apart by their address, so that a mixer that connects
// again never takes the place of one that has not come yet. A connection is:
//   a new mixer, from an address not seen before, while fewer mixers than
//     asked for have come;
//   the mixer's next try, from an address whose last delivery failed: it
//     takes that mixer's place, and the verdict is the last try's;
//   turned away, from an address whose delivery is under way or has
//     finished, from a new address once every mixer asked for has come, or
//     from any address but those asked for, where only some are (a second
//     try for the mixers that failed before).
class MixerIntake
{
public:
    enum class Admission
    {
        newMixer,
        nextTry,
        turnedAway
    };

    struct Decision
    {
        Admission admission = Admission::turnedAway;
        std::size_t place = 0; // the mixer's place: where a new one goes, or the one it tries again
        int attempt = 1;       // which try this is of that mixer
        const char* why = "";  // turned away: why, for the log
        bool allCame = false;  // turned away as a new mixer once every one asked for had come
    };

    // A connection admitted: its socket, and what it is.
    struct Arrival
    {
        std::shared_ptr<juce::StreamingSocket> socket;
        Decision decision;
    };

    // What the computer is announced on now, for the user.
    struct Announcing
    {
        bool listed = false; // false until the first listing
        juce::StringArray addresses;
        bool onNoNetwork = false;
        FirewallCheck::Verdict firewall = FirewallCheck::Verdict::unknown;
    };

    using StartThread = std::function<bool(juce::Thread&)>;

    // For wanted mixers, from the addresses onlyFrom (empty: any); its
    // threads are started through startThread.
    MixerIntake(int wanted, juce::StringArray onlyFrom, StartThread startThread);
    // Releases its threads: the announcing, then the port; the firewall
    // watch, which shares nothing with the sends, is let go without a wait.
    ~MixerIntake();

    // Listens, then announces on setup's networks: a mixer that answers at
    // once finds the port open, and when listening fails nothing has been
    // announced. Waits for the port until stopAsked holds. Success,
    // cancelled, or the connect stage's code of the failure.
    StageResult open(const NetworkSetup& setup, std::unique_ptr<InterfaceQuery> query,
                     const std::function<bool()>& stopAsked);

    // The next connection accepted that is admitted, given one report per
    // mixer come so far; those turned away before it are closed and logged.
    std::optional<Arrival> next(const std::vector<MixerDelivery::Report>& come);
    // The new mixers turned away because every one asked for had come.
    const juce::StringArray& getTurnedAway() const noexcept { return turnedAway; }

    // The port's or the announcing's failure, which ends the wait for mixers
    // (a mixer can no longer connect, or no longer find the computer);
    // success while both go on.
    StageResult failure() const;

    // A look at the announcing, a few times a second.
    Announcing look();

    // Closes the port: no more connections are accepted, and those accepted
    // before are still taken by next. The announcing stops.
    void close();

    // A connection from address, given one report per mixer come so far, in
    // the order they came, for an update asked for wanted mixers, from the
    // addresses onlyFrom (empty: from any).
    static Decision admit(const juce::String& address,
                          const std::vector<MixerDelivery::Report>& mixers, int wanted,
                          const juce::StringArray& onlyFrom = {});

private:
    const int wanted;
    const juce::StringArray onlyFrom;
    const StartThread startThread;
    double announcingSince = 0;
    juce::StringArray turnedAway;
    std::unique_ptr<::Listener> listener;
    std::unique_ptr<Broadcast> broadcast;
    std::unique_ptr<FirewallWatch> firewall;

    JUCE_DECLARE_NON_COPYABLE(MixerIntake)
};
