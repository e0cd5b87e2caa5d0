// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "app/InstanceChannel.h"
#include "app/RepaintPump.h"
#include "resources/TypefaceLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class MainWindow;

// The application: one instance at a time, one window, exit code 0 on every
// way out. A second copy hands its command line to the running one, which
// brings its window to the front, and ends without a window of its own.
class Application : public juce::JUCEApplication
{
public:
    // programFile: the program beside which the update file lies, or the
    // update file named with --file; File() for this program. mixers: how
    // many mixers the ready screen starts with (--mixers).
    Application(const juce::File& programFile, int mixers);
    ~Application() override;

    void initialise(const juce::String& commandLine) override;
    void shutdown() override;
    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void anotherInstanceStarted(const juce::String& commandLine) override;

private:
    void textFromAnotherCopy(const juce::String& text);

    // The look of every window, message boxes included.
    TypefaceLookAndFeel lookAndFeel;
    std::unique_ptr<InstanceChannel> instanceChannel;
    RepaintPump repaintPump;
    const juce::File programFile;
    const int mixers;
    bool initialised = false;
    std::unique_ptr<MainWindow> mainWindow;
};
