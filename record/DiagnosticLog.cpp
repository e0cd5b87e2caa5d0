// KVR516_UPDATE, GPL-3.0-or-later.
#include "record/DiagnosticLog.h"

#include "record/RunRecord.h"

#include <cstdio>
#include <cstring>
#include <exception>

void DiagnosticLog::line(const juce::String& text)
{
    const juce::String whole = "KVR516_UPDATE: " + text + "\n";
    const char* bytes = whole.toRawUTF8();
    std::fwrite(bytes, 1, std::strlen(bytes), stderr);
    std::fflush(stderr);
    RunRecord::line(text);
}

void DiagnosticLog::thrown(const char* where) noexcept
{
    try
    {
        juce::String what = "no std::exception";
        if (const std::exception_ptr caught = std::current_exception())
        {
            try
            {
                std::rethrow_exception(caught);
            }
            catch (const std::exception& e)
            {
                what = e.what();
            }
            catch (...)
            {
            }
        }
        line(juce::String(where) + " ended on an exception (" + what + ")");
    }
    catch (...)
    {
        // Not even the line could be made: the status says the rest.
    }
}
