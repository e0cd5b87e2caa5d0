// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/UpdateFile.h"
#include "update/SendProgress.h"
#include "update/StageResult.h"

#include <juce_core/juce_core.h>

#include <functional>
#include <memory>
#include <mutex>

class Update;

// One mixer's delivery: its connection, the thread that sends it the update
// file (Update), the figures of what it has taken, and how it ended. Each is
// judged on its own: its own connection's acknowledgements decide its finish,
// and its stall limit ends it alone. Its owner starts it, then looks at it
// (poll) a few times a second from one thread; the figures and the outcome
// can be read (report) from any thread.
class MixerDelivery
{
public:
    struct Report
    {
        juce::String address;
        int attempt = 1; // 2 for the mixer's second try, and so on
        SendProgress::Figures figures;
        bool ended = false;
        // Until the delivery has ended, what a send that never ended counts
        // as ("_S4"): never a finish.
        StageResult result = StageResult::code4;
        bool unconfirmed = false;     // ended in success, its end not confirmed
        bool stalled = false;         // ended by the stall limit ("_S3")
        juce::int64 bytesWritten = 0; // of the file, the length's bytes not counted
        double deliveryMs = 0;        // a whole transfer: from the length to its end

        bool finished() const noexcept { return ended && result == StageResult::success; }
    };

    // How often poll reads what the mixer has taken.
    static constexpr int progressReadingMs = 100;

    // The file beside programFile, as the check measured it, goes out on
    // socket, the mixer's attempt-th try. stallMs above 0: the send ends
    // ("_S3") once the mixer has taken nothing for that long. Where several
    // mixers are sent to (nameInLines), every diagnostic line begins with the
    // mixer's name; the line on its end always does.
    MixerDelivery(std::shared_ptr<juce::StreamingSocket> socket, const juce::File& programFile,
                  const UpdateFile::Measure& checked, double stallMs, int attempt,
                  bool nameInLines);
    // Releases the sending thread (ThreadRelease); the connection closes once
    // the thread lets it go too.
    ~MixerDelivery();

    // The mixer as the diagnostic lines name it: "mixer 198.51.100.21", with
    // " (second try)" or " (try 3)" after a failed one.
    static juce::String nameOf(const juce::String& address, int attempt);

    // Starts sending through startThread; false when the thread cannot be
    // started, and the delivery has then ended with "_S4".
    bool start(const std::function<bool(juce::Thread&)>& startThread);
    bool hasStarted() const noexcept { return started; }
    // One look, on the owner's thread: a reading of what the mixer has taken
    // when one is due, the stall limit, the end (whose line it logs, once).
    // True once it has ended.
    bool poll();
    // Asks the sending thread to stop: the delivery ends at the next poll
    // with why (a cancel, or the code of a failure of the whole send),
    // unless it finished first.
    void stop(StageResult why = StageResult::cancelled);

    Report report() const;

private:
    void noteProgress(double now);
    void end(StageResult r, double now);
    void logEndedPause();
    void logEnd(const Report& r) const;

    const juce::String name;
    const juce::String logPrefix;
    const juce::int64 fileSize;
    const juce::String fileHash;
    const double stallMs;
    std::shared_ptr<juce::StreamingSocket> socket;
    std::unique_ptr<Update> update;

    // The owner's thread's: the next reading, the stall watch, what to log.
    double nextReadingMs = 0;
    double stillSinceMs = 0;
    juce::int64 stillAt = -1;
    bool started = false;
    bool stopAsked = false;
    StageResult stopResult = StageResult::cancelled;
    bool saidFigureIsWritten = false;
    double endedPauseMs = 0; // a pause progress told of, not yet logged

    mutable std::mutex lock; // what report reads
    SendProgress progress;
    Report shown;

    JUCE_DECLARE_NON_COPYABLE(MixerDelivery)
};
