// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Hands the windows' pending repaints to the system where the framework would
// otherwise keep them waiting. JUCE 7.0.5 on Windows passes a window's
// repaints on only when DXGI reports a vertical blank of its monitor; where
// none is reported (under Wine, and on some remote or virtual displays) every
// window would keep showing its first picture. On Linux JUCE repaints on its
// own, and this does nothing.
class RepaintPump : private juce::Timer
{
public:
    RepaintPump() = default;
    ~RepaintPump() override;

    // From the message thread: start once windows may exist, stop before the
    // message loop goes.
    void start();
    void stop();

private:
    void timerCallback() override;

    JUCE_DECLARE_NON_COPYABLE(RepaintPump)
};
