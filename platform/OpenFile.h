// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

// A file opened for reading, closed by the destructor. The size is that of the
// open file itself, so a file replaced after opening does not change it.
class OpenFile
{
public:
    explicit OpenFile(const juce::File& file);
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // The size of a regular file, or -1 (not opened, or not a regular file).
    juce::int64 regularFileSize() const;

    // Reads exactly size bytes; false when the file ends first or cannot be read.
    bool readExactly(char* into, int size);

private:
    // The platform's handle; -1 when the file could not be opened.
    const std::intptr_t handle;
};
