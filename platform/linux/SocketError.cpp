// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SocketError.h"

#include <cerrno>
#include <system_error>

juce::String SocketError::lastText()
{
    return std::generic_category().message(errno);
}
