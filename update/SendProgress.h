// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <deque>
#include <functional>
#include <optional>
#include <utility>

// The send stage's figures as the user sees them: how much of the file the
// mixer has taken, how fast, how long is left, and whether it has stopped
// taking. Fed with readings a few times a second; the figure never goes back,
// and it reaches the whole file only once the finish has been decided. The
// figure is what the mixer's stack acknowledged; where the system does not
// tell, the bytes written, and then for the rest of the send, so that the
// figure keeps one meaning. Once the system has told, a reading it fails to
// answer leaves the figure as it was; only when none has answered for
// missedForMs does the figure turn to the bytes written.
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
        bool allWritten = false;   // every byte of the file has been written
        bool hasReading = false;   // a reading has come, or the finish
    };

    // After this long without one byte more taken, the mixer counts as stopped.
    static constexpr double stalledAfterMs = 5000;
    // The rate is taken over the readings of this last while.
    static constexpr double rateWindowMs = 3000;
    // After this long without an answer from a system that had answered, the
    // figure is the bytes written.
    static constexpr double missedForMs = 1000;

    // Told when a pause of stalledAfterMs or more ends (or the send does):
    // how long it lasted, in milliseconds.
    using PauseEnded = std::function<void(double lengthMs)>;

    SendProgress(juce::int64 total, PauseEnded pauseEnded = {});

    // A reading at nowMs: bytes of the file written, and of them those the
    // mixer's stack acknowledged when the system told.
    void note(juce::int64 written, std::optional<juce::int64> acknowledged, double nowMs);
    // The finish has been decided: the figure is the whole file.
    void finish(double nowMs);
    // The send ended otherwise: a pause still going on is told.
    void end(double nowMs);

    Figures figures(double nowMs) const;
    // False once the figure is the bytes written.
    bool isAcknowledged() const noexcept { return acknowledged; }

private:
    void endPause(double nowMs);

    const juce::int64 total;
    PauseEnded pauseEnded;
    juce::int64 taken = 0;
    bool acknowledged = true; // false once the figure is the bytes written
    bool answered = false;    // the system has told what was acknowledged
    bool allWritten = false;
    bool finished = false;
    bool noted = false;
    double missedSinceMs = -1; // the first of the unanswered readings since the last answer
    double lastMoveMs = -1;    // when the figure last grew; -1 before the first reading
    std::deque<std::pair<double, juce::int64>> recent; // (when, taken) within rateWindowMs
};
