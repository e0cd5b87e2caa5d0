// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/ProgramFile.h"

#include <climits>
#include <cstdlib>
#include <memory>

juce::File ProgramFile::get()
{
    // The kernel's link to the executable of this process; realpath resolves
    // it, and any link on the way, to the file's absolute path.
    std::unique_ptr<char, decltype(&std::free)> path(::realpath("/proc/self/exe", nullptr),
                                                     &std::free);
    if (path == nullptr)
        return {};
    return juce::File(juce::String::fromUTF8(path.get()));
}
