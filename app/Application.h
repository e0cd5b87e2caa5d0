// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "app/CommandLine.h"
#include "app/InstanceChannel.h"
#include "app/RepaintPump.h"
#include "app/RetryList.h"
#include "resources/TypefaceLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class MainWindow;

// The application: one instance at a time, one window, exit code 0 on every
// way out but one: a second try whose update file is not the one its mixers
// were sent ends with 1, as the console run does. A second copy hands its
// command line to the running one, which brings its window to the front,
// and ends without a window of its own. With --report, the run's report is
// written as the application ends (by the second copy too: "already running").
class Application : public juce::JUCEApplication
{
public:
    // settings: the window's options (the update file, the mixers of its
    // ready screen, the report's path); retry: the mixers a second try waits
    // for (--retry), none otherwise.
    Application(const CommandLine::Settings& settings, const RetryList::List& retry);
    ~Application() override;

    void initialise(const juce::String& commandLine) override;
    void shutdown() override;
    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void anotherInstanceStarted(const juce::String& commandLine) override;

private:
    void textFromAnotherCopy(const juce::String& text);
    void writeReport() const;

    // The look of every window, message boxes included.
    TypefaceLookAndFeel lookAndFeel;
    std::unique_ptr<InstanceChannel> instanceChannel;
    RepaintPump repaintPump;
    const CommandLine::Settings settings;
    const RetryList::List retry;
    const juce::Time started = juce::Time::getCurrentTime();
    bool initialised = false;
    std::unique_ptr<MainWindow> mainWindow;
};
