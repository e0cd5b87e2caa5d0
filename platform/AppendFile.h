// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <cstdint>

// A text file that lines are added to at its end, by this process and by
// others at the same time: each append is one write that the system places
// at the end of the file as it is then, so that a line of one process never
// lands over or inside a line of another. While open, the file is held shared
// (a lock that other appenders share and that trim must have alone), so that
// it is never trimmed under an appender. Closed by the destructor.
class AppendFile
{
public:
    // Opens file for appending, making it readable and writable by its owner
    // only when it is missing (on Linux, one of the owner's that others may
    // read is made so too). Only a regular file is taken: a symbolic link
    // (never followed), a folder, a named pipe or a device in its place is
    // refused at once. Waits while a trim runs, then opens the file the trim
    // left.
    explicit AppendFile(const juce::File& file);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // The platform's end of a line in a text file: "\r\n" on Windows, whose
    // Notepad before Windows 10 knows no other, "\n" elsewhere.
    static const char* const lineEnd;

    // Why the file could not be opened, in the system's words; empty when it is open.
    juce::String openError() const { return whyNotOpen; }

    // Adds size bytes at the end of the file in one write; returns why it
    // failed in the system's words (a full disk, a file that was not opened),
    // or empty once every byte is written.
    juce::String append(const char* bytes, std::size_t size);

    // Cuts the oldest lines of file, so that at most limit bytes of whole
    // lines are left, and only while no AppendFile of any process holds it: a
    // file that another holds, or that is missing, is left as it is. The kept
    // lines go into a new file beside it (file's name with ".trim" added),
    // which then takes file's name, so that a process ended at any instant
    // leaves file either as it was or trimmed, never cut short or mixed.
    // Returns why it could not be trimmed, in the system's words; empty when
    // it was trimmed, needed no trim or was held.
    static juce::String trim(const juce::File& file, juce::int64 limit);

private:
    // The platform's handle; -1 when the file could not be opened.
    std::intptr_t handle = -1;
    juce::String whyNotOpen;
};
