// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/TaskbarProgress.h"
#include "update/MixersOutcome.h"
#include "update/Phase.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>
#include <memory>
#include <vector>

class MixerRow;
class UpdateProcedure;

// Beneath the message on the screens of several mixers. A few lines: while
// mixers are awaited, how many have connected, the addresses announced on
// and, after a while, what to check; while they are sent to, how many have
// finished; at the end the failed mixers by address and code, or the finish
// message. Beneath them a row per mixer come (MixerRow), in the order they
// came; beyond visibleRows the rows scroll. Read from the update four times
// a second; the taskbar button shows the whole.
class MixersPanel : public juce::Component, private juce::Timer
{
public:
    static constexpr int visibleRows = 8;
    static constexpr int linesHeight = 96;
    static constexpr int refreshMs = 250;

    MixersPanel();
    ~MixersPanel() override;

    // The update whose mixers are shown; earlierTries: of each address, the
    // tries it had in the updates before this one (a second try says so).
    void follow(const UpdateProcedure& procedure, std::map<juce::String, int> earlierTries);
    // A new screen: waiting or sending (read four times a second), the end
    // (read once), or none.
    void show(Phase phase);
    // The update has ended on a failure or a cancel (a box tells which).
    void showEnd(bool failed);

    // The height that holds the lines and the rows of mixers (at most visibleRows).
    static int heightFor(int mixers);

    // The rows of the mixers as the account gives them, each changed only
    // where its text has; and the end screen's lines: each failed mixer by
    // address and code, or the finish message when none failed.
    void showMixers(const MixersOutcome& outcome);
    juce::String endLines(const MixersOutcome& outcome) const;

    juce::String getLines() const { return lines.getText(); }
    // The rows' names and lines, as shown: "name | line".
    juce::StringArray getRows() const;

    void resized() override;

private:
    void timerCallback() override;
    juce::String waitingLines() const;
    // A mixer's address with its try, counting the updates before this one.
    juce::String nameOf(const MixersOutcome::Mixer& mixer) const;
    void setTaskbar(TaskbarProgress::State state, double fraction);

    const UpdateProcedure* procedure = nullptr;
    std::map<juce::String, int> earlierTries;
    Phase phase = Phase::notShown;
    double shownAtMs = 0;
    double whole = 0; // of every mixer asked for, the share taken

    juce::Label lines;
    juce::Viewport viewport;
    juce::Component rowsHolder;
    std::vector<std::unique_ptr<MixerRow>> rows;
};
