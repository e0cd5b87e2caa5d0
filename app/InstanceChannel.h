// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_events/juce_events.h>

#include <functional>

// Carries a short text from a second copy of the program to the one that is
// already running, over a named pipe beside the framework's single-instance
// lock. The running copy listens; a second copy sends once and goes.
class InstanceChannel : public juce::InterprocessConnection
{
public:
    // Texts that arrive are handed to onText on the message thread.
    explicit InstanceChannel(std::function<void(const juce::String&)> onText);
    ~InstanceChannel() override;

    // Starts listening on the pipe at pipePath; false when it cannot be made.
    bool listen(const juce::String& pipePath);

    // Sends text to the copy listening at pipePath; false when none takes it
    // within timeoutMs.
    static bool send(const juce::String& pipePath, const juce::String& text, int timeoutMs);

    // The name of the framework's single-instance lock for applicationName
    // (JUCEApplicationBase's, which the window takes): a console run takes the
    // same one, so that only one copy announces.
    static juce::String lockNameFor(const juce::String& applicationName)
    {
        return "juceAppLock_" + applicationName;
    }

    // Where the program's pipe lies: the folder of the framework's lock.
    static juce::String pipePathFor(const juce::String& applicationName);

    void connectionMade() override {}
    void connectionLost() override {}
    void messageReceived(const juce::MemoryBlock& message) override;

private:
    std::function<void(const juce::String&)> onText;
};
