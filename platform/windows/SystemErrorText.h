// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The system's own words for an error code (GetLastError, WSAGetLastError),
// in the user's language, for the log and the record. They are asked for as
// UTF-16 and kept as Unicode: the ANSI form of the words is in the system's
// code page (932 on a Japanese Windows), which the UTF-8 log would garble.
class SystemErrorText
{
public:
    // The words without their line end; "error <code>" when the system has
    // none for it.
    static juce::String of(unsigned long code);
};
