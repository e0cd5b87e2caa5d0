// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/UpdateFile.h"

#include "platform/ProgramFile.h"

#include <cstring>

juce::File UpdateFile::besideProgram(const juce::File& programFile)
{
    return programFile.withFileExtension(".upd");
}

juce::File UpdateFile::thisProgram()
{
    return ProgramFile::get();
}

bool UpdateFile::isTag(const void* data) noexcept
{
    return std::memcmp(data, Protocol::tag, Protocol::tagSize) == 0;
}
