// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <deque>
#include <functional>
#include <utility>

// The send stage's figures as the user sees them: how much of the file the
// mixer has taken, how fast, how long is left, and whether it has stopped
// taking. Fed with readings a few times a second; the figure never goes back,
// and it reaches the whole file only once the finish has been decided.
class SendProgress
{
public:
    struct Figures
    {
        juce::int64 taken = 0;     // bytes of the file the mixer has taken
        juce::int64 total = 0;     // the file's size
        double bytesPerSecond = 0; // over the last few seconds; 0 until known
        double secondsLeft = -1;   // -1 until known
        double stalledSeconds = 0; // how long nothing more was taken, once stalledAfterMs
        bool acknowledged = true;  // false: the figure is the bytes written
        bool finished = false;     // the finish has been decided
    };

    // After this long without one byte more taken, the mixer counts as stopped.
    static constexpr double stalledAfterMs = 5000;
    // The rate is taken over the readings of this last while.
    static constexpr double rateWindowMs = 3000;

    // Told when a pause of stalledAfterMs or more ends (or the send does):
    // how long it lasted, in milliseconds.
    using PauseEnded = std::function<void(double lengthMs)>;

    SendProgress(juce::int64 total, PauseEnded pauseEnded = {});

    // A reading at nowMs: bytes of the file taken, acknowledged or only written.
    void note(juce::int64 taken, bool acknowledged, double nowMs);
    // The finish has been decided: the figure is the whole file.
    void finish(double nowMs);
    // The send ended otherwise: a pause still going on is told.
    void end(double nowMs);

    Figures figures(double nowMs) const;

private:
    void endPause(double nowMs);

    const juce::int64 total;
    PauseEnded pauseEnded;
    juce::int64 taken = 0;
    bool acknowledged = true;
    bool finished = false;
    double lastMoveMs = -1; // when the figure last grew; -1 before the first reading
    std::deque<std::pair<double, juce::int64>> recent; // (when, taken) within rateWindowMs
};
