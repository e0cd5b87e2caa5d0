// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Hands on to the windows what the framework would otherwise keep waiting.
// JUCE 7.0.5 on Windows passes a window's repaints on only when DXGI reports a
// vertical blank of its monitor; where none is reported (under Wine, and on
// some remote or virtual displays) every window would keep showing its first
// picture: the repaints are handed on here. On Linux JUCE handles the X
// server's events only when their socket becomes readable, and events that its
// own calls have already read into Xlib's queue (a close request, a click, an
// exposure) would wait there for the next one the server sends: they are
// handed to JUCE's handler here.
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
