// KVR516_UPDATE, GPL-3.0-or-later.
#include "record/DiagnosticLog.h"

#include "record/RunRecord.h"

#include <cstdio>
#include <cstring>

void DiagnosticLog::line(const juce::String& text)
{
    const juce::String whole = "KVR516_UPDATE: " + text + "\n";
    const char* bytes = whole.toRawUTF8();
    std::fwrite(bytes, 1, std::strlen(bytes), stderr);
    std::fflush(stderr);
    RunRecord::line(text);
}
