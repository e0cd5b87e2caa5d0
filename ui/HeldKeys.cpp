// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/HeldKeys.h"

#include <algorithm>

HeldKeys::HeldKeys(KeyDown down) : keyDown(std::move(down)) {}

HeldKeys::~HeldKeys()
{
    stopTimer();
}

void HeldKeys::note()
{
    held.clear();
    for (const int code :
         {juce::KeyPress::returnKey, juce::KeyPress::escapeKey, juce::KeyPress::spaceKey})
        if (keyDown(code))
            held.push_back(code);
}

bool HeldKeys::isHeld(const juce::KeyPress& key) const
{
    return std::find(held.begin(), held.end(), key.getKeyCode()) != held.end();
}

void HeldKeys::released()
{
    if (any() && !isTimerRunning())
        startTimer(releaseSettleMs);
}

void HeldKeys::clear()
{
    forget(true);
}

void HeldKeys::timerCallback()
{
    stopTimer();
    forget(false);
}

void HeldKeys::forget(bool all)
{
    const bool wasHeld = any();
    held.erase(std::remove_if(held.begin(), held.end(),
                              [this, all](int code) { return all || !keyDown(code); }),
               held.end());
    if (wasHeld && !any() && onNoneHeld)
        onNoneHeld();
}
