// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// The progress shown on the window's taskbar button, where the system has
// one (Windows: ITaskbarList3); elsewhere nothing. A taskbar that cannot show
// it is no failure: nothing is shown.
class TaskbarProgress
{
public:
    enum class State
    {
        none,   // no progress shown
        normal, // the figure moves
        paused, // the mixer takes nothing
        error   // a failure box is shown
    };

    // nativeWindow: the top-level window's handle (ComponentPeer::getNativeHandle);
    // fraction: 0 to 1, used with normal and paused.
    static void show(void* nativeWindow, State state, double fraction) noexcept;
};
