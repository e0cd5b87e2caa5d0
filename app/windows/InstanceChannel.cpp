// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/InstanceChannel.h"

// On Windows the framework's own message from a second copy reaches the
// running one, so the channel stays closed: it neither listens nor sends.

InstanceChannel::InstanceChannel(std::function<void(const juce::String&)> callback)
    : juce::InterprocessConnection(true), onText(std::move(callback))
{
}

InstanceChannel::~InstanceChannel()
{
    disconnect();
}

bool InstanceChannel::listen(const juce::String&)
{
    return false;
}

bool InstanceChannel::send(const juce::String&, const juce::String&, int)
{
    return false;
}

juce::String InstanceChannel::pipePathFor(const juce::String& applicationName)
{
    return applicationName + ".instance";
}

void InstanceChannel::messageReceived(const juce::MemoryBlock& message)
{
    if (onText)
        onText(message.toString());
}
