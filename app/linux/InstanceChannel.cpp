// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/InstanceChannel.h"

InstanceChannel::InstanceChannel(std::function<void(const juce::String&)> callback)
    : juce::InterprocessConnection(true), onText(std::move(callback))
{
}

InstanceChannel::~InstanceChannel()
{
    disconnect();
}

bool InstanceChannel::listen(const juce::String& pipePath)
{
    // A pipe left behind by a copy that did not end cleanly is taken over.
    return createPipe(pipePath, -1, false);
}

bool InstanceChannel::send(const juce::String& pipePath, const juce::String& text, int timeoutMs)
{
    if (!juce::File(pipePath + "_in").exists())
        return false;

    InstanceChannel sender(nullptr);
    if (!sender.connectToPipe(pipePath, timeoutMs))
        return false;

    const juce::MemoryBlock message(text.toRawUTF8(), text.getNumBytesAsUTF8());
    const bool sent = sender.sendMessage(message);
    sender.disconnect();
    return sent;
}

juce::String InstanceChannel::pipePathFor(const juce::String& applicationName)
{
    // The framework keeps its lock in /var/tmp, or in /tmp where that is missing.
    juce::File folder("/var/tmp");
    if (!folder.isDirectory())
        folder = juce::File("/tmp");
    return folder.getChildFile(applicationName + ".instance").getFullPathName();
}

void InstanceChannel::messageReceived(const juce::MemoryBlock& message)
{
    if (onText)
        onText(message.toString());
}
