// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "app/CommandLine.h"
#include "app/RetryList.h"

#include <juce_gui_basics/juce_gui_basics.h>

class MainComponent;

// The program's one window: fixed size, centred, with the native title bar,
// minimise and close buttons only. Its content is the MainComponent, which it
// starts once it is shown; its close button goes through the update procedure.
// Where the content grows (several mixers), the window takes its new size,
// centred again, and keeps that one.
class MainWindow : public juce::DocumentWindow, private juce::Timer, private juce::ComponentListener
{
public:
    // settings: the update file (as UpdateProcedure::Hooks has it) and how
    // many mixers the ready screen offers to wait for; retry: the mixers of a
    // second try (--retry), none otherwise.
    MainWindow(const CommandLine::Settings& settings, const RetryList::List& retry);
    ~MainWindow() override;

    const MainComponent& getContent() const noexcept { return *mainComponent; }
    // Stops the update's stage where the application ends by no way out of
    // the window (an interrupt): what it came to is then final.
    void stopUpdate();

    void closeButtonPressed() override;

private:
    void fitContent();
    void timerCallback() override;
    void componentMovedOrResized(juce::Component& component, bool wasMoved,
                                 bool wasResized) override;

    // JUCE sets the window's bounds once more at its first paint; the fixed
    // size hints are given again until then.
    int hintRounds = 0;

    MainComponent* mainComponent = nullptr; // owned as the content component

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainWindow)
};
