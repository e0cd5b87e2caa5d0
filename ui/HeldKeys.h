// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <vector>

// The keys that press buttons (Return, Escape, Space) which were already held
// down when a screen or a box appeared: each presses nothing there until it
// has been let go. JUCE reports a key's auto-repeat as new presses: on X11 it
// takes the release and press that the server sends for each repeat as no
// release at all, and Windows sends presses alone. Only a release ends a held
// key, and only once the key is still up a moment after it: on X11 JUCE finds
// a repeat's release and press as a pair only when both have arrived;
// otherwise it reports the release, and the press follows within milliseconds.
class HeldKeys : private juce::Timer
{
public:
    // Whether a key (a KeyPress key code) is down now.
    using KeyDown = std::function<bool(int keyCode)>;

    explicit HeldKeys(KeyDown keyDown);
    ~HeldKeys() override;

    // The keys down now become the held ones.
    void note();
    bool isHeld(const juce::KeyPress& key) const;
    bool any() const noexcept { return !held.empty(); }
    // A key was let go: the held keys still up a moment later are forgotten.
    void released();
    // The keyboard has left the window: a key let go elsewhere is never
    // reported, so nothing counts as held any more.
    void clear();

    // Called once the last held key has been forgotten.
    std::function<void()> onNoneHeld;

    // How long after its release a held key must stay up to count as let go.
    static constexpr int releaseSettleMs = 30;

private:
    void timerCallback() override;
    void forget(bool all);

    KeyDown keyDown;
    std::vector<int> held; // key codes
};
