// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_events/juce_events.h>

#include <functional>

// Runs the message loop of a test until a condition holds, with a deadline.
class MessagePump
{
public:
    // True when pred held before timeoutMs had passed.
    static bool until(const std::function<bool()>& pred, int timeoutMs)
    {
        const auto end = juce::Time::getMillisecondCounter() + static_cast<juce::uint32>(timeoutMs);
        while (!pred())
        {
            if (juce::Time::getMillisecondCounter() > end)
                return false;
            juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
        }
        return true;
    }
};
