// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/TaskbarProgress.h"
#include "update/Phase.h"
#include "update/SendProgress.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class UpdateProcedure;

// What the running stage is doing, beneath the screen's message. While the
// computer waits for the mixer: the addresses it is announced on now and,
// after a while without a mixer, what to check. While it sends: a bar and a
// line of what the mixer has taken, or that it has stopped taking. Read from
// the update four times a second; the taskbar button shows the same. Screen
// readers hear the stages' changes (connected, stopped taking, finished, a
// failure), not every step.
class StageDetails : public juce::Component, private juce::Timer
{
public:
    explicit StageDetails(const UpdateProcedure& procedure);
    ~StageDetails() override;

    // A new screen: the details of its phase, or none.
    void show(Phase phase);
    // A failure box is shown (true), or the update has ended otherwise.
    void showEnd(bool failed, const juce::String& told);

    // The line beneath the bar or the waiting message, as it reads now.
    juce::String getText() const { return line.getText(); }

    void resized() override;

    static constexpr int refreshMs = 250;

private:
    void timerCallback() override;
    void showWaiting();
    void showSending();
    void setTaskbar(TaskbarProgress::State state, double fraction);

    const UpdateProcedure& procedure;
    Phase phase = Phase::notShown;
    double shownAtMs = 0;
    bool stalled = false;

    double barValue = 0;
    std::unique_ptr<juce::ProgressBar> bar;
    juce::Label line;
};
