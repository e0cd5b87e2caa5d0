// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The record of every run that a user can hand to support, kept in one file,
// KVR516_UPDATE.log, in the program's folder within the place the platform
// keeps such files (StateFolder). Each run adds, in whole lines:
//
//   a header: when the run started (with the offset from UTC), the program's
//     name, version and commit, the operating system, the language chosen;
//   the diagnostic lines (DiagnosticLog), each with the time since the start;
//   a closing line: the outcome the user was shown, the update file's name,
//     size and SHA-256, the mixer's address, and for a whole transfer the time
//     from the length to the mixer's acknowledgement of the last byte.
//
// Callers only queue their lines: one writer thread per run opens, trims and
// appends to the file, so that a file system that never answers holds that
// thread alone. The writer appends whole lines in one append (AppendFile), so
// that the lines of two copies of the program never mix. A record that cannot
// be written is no failure: standard error says once why, and the run goes on
// without it. Every function may be called from any thread and returns
// without waiting on the file; before open and after close they do nothing.
class RunRecord
{
public:
    static constexpr const char* fileName = "KVR516_UPDATE.log";
    // A file larger than this when a run starts loses its oldest lines, unless
    // another copy of the program has it open.
    static constexpr juce::int64 sizeLimit = 1024 * 1024;

    // The program's own folder in the platform's place; File() where the
    // system names none.
    static juce::File defaultFolder();

    // Starts the run's record in folder (made when missing) and returns at
    // once; a record still open is closed first. program names the program,
    // its version and commit for the header. When no record can be kept, the
    // writer says why on standard error.
    static void open(const juce::File& folder, const juce::String& program);

    // The name of the language the user chose. The header waits for it until
    // the run's first line or its end.
    static void noteLanguage(const juce::String& name);

    // A diagnostic line, as DiagnosticLog::line writes it.
    static void line(const juce::String& text);

    // The update file as the check measured it: its name (no folder), size in
    // bytes, SHA-256 as 64 lower-case hex digits.
    static void noteUpdateFile(const juce::String& fileName, juce::int64 size,
                               const juce::String& sha256Hex);
    // A mixer's address as the connection reports it; several are listed in
    // the order noted.
    static void noteMixer(const juce::String& address);
    // A whole transfer: milliseconds from the write of the length to the
    // mixer's acknowledgement of the last byte; where the system does not tell
    // the acknowledgements (acknowledged false), to the write of the last byte.
    // Of several mixers, the longest such transfer is noted.
    static void noteDelivery(double msFromLength, bool acknowledged = true);

    // What the user was shown at the end (the finish screen, a message box, or
    // a quit without one). The first one noted is the run's outcome: what
    // follows it (the OK that ends the program) is no other.
    static void noteOutcome(const juce::String& outcome);

    // Queues the closing line and ends the record. Waits for the writer to
    // write what is queued for at most 50 ms, then gives it up (ThreadRelease)
    // and returns: a writer held by the file system writes the rest if the
    // file system answers before the process ends.
    static void close();
};
