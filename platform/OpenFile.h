// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

// A regular file opened for reading, closed by the destructor. Opening never
// waits: a named pipe, a device or a folder in the file's place is refused at
// once, as a missing file is. The size is that of the open file itself, so a
// file replaced after opening does not change it. Others may go on reading
// the file while it is open, but not change it (where the system lets a
// reader forbid that, as Windows does).
class OpenFile
{
public:
    explicit OpenFile(const juce::File& file);
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // The file's size, or -1 when it was not opened (missing, unreadable, not
    // a regular file).
    juce::int64 regularFileSize() const;

    // Reads exactly size bytes; false when the file ends first, cannot be read
    // or was not opened.
    bool readExactly(char* into, int size);

    // Why the file was not opened, in the system's words ("not a regular
    // file" for a pipe, a device or a folder); empty when it was.
    juce::String whyNotOpened() const { return notOpened; }

private:
    // The platform's handle; -1 when the file could not be opened.
    std::intptr_t handle = -1;
    juce::String notOpened;
};
