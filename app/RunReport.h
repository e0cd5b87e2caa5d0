// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "app/ExitCode.h"
#include "update/MixersOutcome.h"

#include <juce_core/juce_core.h>

class UpdateProcedure;

// The report of a run that a script reads (--report PATH): one JSON document,
// written at the run's end, the console's and the window's alike. Its keys
// are those docs/report.schema.json names; each mixer's entry agrees with the
// record's line on that mixer (bytes sent, outcome, code).
class RunReport
{
public:
    static constexpr int version = 1;
    // The path that means standard output.
    static constexpr const char* standardOutput = "-";

    // What the run was, beside its mixers.
    struct Run
    {
        juce::Time started, ended;
        juce::File updateFile;
        juce::int64 bytes = -1; // the update file's size as checked; -1: not read
        juce::String sha256;    // as checked; empty: not read
        int mixersAsked = 1;
        ExitCode::Code outcome = ExitCode::finished; // what the run came to
        int exitCode = 0;                            // what the process ends with
        // A second try's: the earlier report's entries of the mixers it
        // waited for (RetryList), kept as they are for those that never
        // connected, so that the report still names them to try again.
        juce::Array<juce::var> awaited;
    };

    // The document of run with its mixers, in the run's language.
    // Each of run's awaited entries whose address is not among mixers follows them.
    static juce::var document(const Run& run, const MixersOutcome& mixers);

    // Whether a report can be written at path: said before anything is
    // announced, so that no update runs whose report would be lost. Ok for
    // standard output.
    static juce::Result checkWritable(const juce::String& path);

    // Writes the document whole: to a file beside path, then renamed over it,
    // so that a reader finds the last report or this one, never a part; to
    // standard output for "-".
    static juce::Result write(const juce::String& path, const juce::var& document);

    // The window's and the console's one call at the end: the report of the
    // procedure's run, started at started, whose mixers came to mixers (as
    // many asked for as they say) and the whole to outcome, ending the
    // process with exitCode, written to path.
    static juce::Result writeAtEnd(const juce::String& path, const UpdateProcedure& procedure,
                                   const MixersOutcome& mixers, juce::Time started,
                                   ExitCode::Code outcome, int exitCode,
                                   const juce::Array<juce::var>& awaited);

    // The report of a run that found another copy running, where path is
    // given: no mixer; programFile as --file gives it (File(): this
    // program). A report that cannot be written is logged.
    static void writeAlreadyRunning(const juce::String& path, juce::Time started,
                                    const juce::File& programFile, int mixers, int exitCode);

    // A time as the report gives it: ISO 8601 in UTC, "2026-12-09T01:45:00Z".
    static juce::String utc(juce::Time time);

    // The word of a verdict ("turned away") and of a run's outcome ("send failed").
    static const char* wordOf(MixersOutcome::Verdict verdict) noexcept;
    static const char* wordOf(ExitCode::Code outcome) noexcept;
};
