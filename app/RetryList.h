// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The mixers to try again, read from an earlier run's report (--retry
// REPORT, RunReport): those whose outcome there was failed or cancelled, by
// their address, and the SHA-256 of the update file they were sent, which
// the file of the second try must have. A report that is not one whole
// report of this version is refused with the reason, in English, as the
// command line's errors are.
class RetryList
{
public:
    // A report longer than this is no report of this program's.
    static constexpr juce::int64 maxBytes = 1024 * 1024;

    struct List
    {
        juce::StringArray addresses;    // in the report's order, each once
        juce::Array<juce::var> entries; // the report's entry of each, as it is there
        juce::String sha256;            // 64 lower-case hex digits
        juce::String error;             // why the report is refused; empty when it is not
    };

    // The report in the file at path (relative to the working folder).
    static List read(const juce::String& path);
    // The report in text.
    static List of(const juce::String& text);

    // Why the update file, as the check measured it (its SHA-256, empty when
    // it could not be read), cannot be sent on this second try: it is not
    // the one the report's mixers were sent. Empty when it is.
    static juce::String whyNotTheFile(const List& list, const juce::File& file,
                                      const juce::String& checkedSha256);
};
