// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "ui/HeldKeys.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A stage's result box, as JUCE's look-and-feel makes a message box: no icon,
// an empty title, the message and one button, which Return and Escape press.
// A key that was already held down when the box appeared presses nothing in
// it until it has been let go: the auto-repeat of the key that ended the last
// screen never dismisses the box before it can be read. The button is
// disabled meanwhile, since JUCE presses a button's shortcut on the key's
// release.
class ResultBox : public juce::AlertWindow
{
public:
    // Shows a box modal to the whole program, which deletes it once dismissed
    // and then runs afterwards. It runs asynchronously, so that it never nests
    // a message loop inside the handler that asked for it (in JUCE 7 on Linux
    // a quit requested after such a nested loop can be lost). Its native
    // window is made again once it has its button: the constructor puts it on
    // the desktop at the size of its text alone, and under a window manager
    // that first size can stay, with the button outside the window.
    static void show(const juce::String& message, const juce::String& button,
                     juce::Component* associated, HeldKeys::KeyDown keyDown,
                     std::function<void()> afterwards);

    ResultBox(const juce::String& title, const juce::String& message, const juce::String& button,
              juce::Component* associated, HeldKeys::KeyDown keyDown);

    bool keyPressed(const juce::KeyPress& key) override;
    bool keyStateChanged(bool isKeyDown) override;
    void focusLost(FocusChangeType cause) override;

private:
    void enableButton(bool enabled);

    HeldKeys heldKeys;
};
