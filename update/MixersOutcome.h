// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "update/MixerDelivery.h"
#include "update/StageResult.h"

#include <juce_core/juce_core.h>

#include <vector>

class UpdateProcedure;

// How an update for several mixers ended, mixer by mixer and as a whole: the
// one account that the window, the console and the report give. A mixer's
// verdict comes from its own delivery once it has ended; one not ended counts
// as failed, never as finished.
class MixersOutcome
{
public:
    enum class Verdict
    {
        finished,
        unconfirmed, // finished, its end not confirmed by this computer
        failed,      // its code in result
        cancelled,
        turnedAway // connected once every mixer asked for had come
    };

    struct Mixer
    {
        juce::String address;
        int attempt = 1;
        Verdict verdict = Verdict::failed;
        StageResult result =
            StageResult::code4;       // the send's: success, cancelled or the failure's code
        MixerDelivery::Report report; // empty for one turned away
    };

    // What the whole comes to: the first that holds of a cancel, a send that
    // failed, fewer mixers than asked for (connectFailed where the wait for
    // them ended on a failure), an end not confirmed; else finished.
    enum class Whole
    {
        finished,
        unconfirmed,
        fewerCame,
        connectFailed,
        sendFailed,
        cancelled
    };

    // came: a report per mixer come, in order (its last try); turnedAway:
    // the new mixers closed at once; wanted: how many were asked for;
    // cancelled: whether the run was; waitResult: how the wait for more
    // mixers ended (success, or the connect stage's code).
    MixersOutcome(const std::vector<MixerDelivery::Report>& came,
                  const juce::StringArray& turnedAway, int wanted, bool cancelled,
                  StageResult waitResult);
    // Of the procedure once its send stage has ended.
    static MixersOutcome of(const UpdateProcedure& procedure);

    static Verdict verdictOf(const MixerDelivery::Report& report) noexcept;

    // This account with that of a later wait for some of its mixers (the
    // window's TRY AGAIN) in it: each mixer that came again in its place,
    // its tries counted on; a mixer turned away there keeps its verdict here.
    // As many were asked for as here; a cancel there cancels the whole.
    MixersOutcome followedBy(const MixersOutcome& later) const;

    // Those come, in order, then those turned away.
    const std::vector<Mixer>& getMixers() const noexcept { return mixers; }
    int getWanted() const noexcept { return wanted; }
    int getCame() const noexcept { return came; }
    int getFinished() const noexcept { return finished; }
    StageResult getWaitResult() const noexcept { return waitResult; }
    Whole getWhole() const noexcept;
    // The addresses of the mixers whose send failed or was cancelled: those
    // to try again.
    juce::StringArray getToTryAgain() const;

private:
    std::vector<Mixer> mixers;
    int wanted = 1;
    int came = 0;
    int finished = 0;
    bool cancelled = false;
    StageResult waitResult = StageResult::success;
};
