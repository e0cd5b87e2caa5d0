// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainComponent;

// The program's one window: fixed size, centred, with the native title bar,
// minimise and close buttons only. Its content is the MainComponent, which it
// starts once it is shown; its close button goes through the update procedure.
class MainWindow : public juce::DocumentWindow, private juce::Timer
{
public:
    // programFile: as UpdateProcedure::Hooks has it.
    explicit MainWindow(const juce::File& programFile);
    ~MainWindow() override;

    void closeButtonPressed() override;

private:
    void fitContent();
    void timerCallback() override;

    // JUCE sets the window's bounds once more at its first paint; the fixed
    // size hints are given again until then.
    int hintRounds = 0;

    MainComponent* mainComponent = nullptr; // owned as the content component

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainWindow)
};
