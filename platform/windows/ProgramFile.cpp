// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/ProgramFile.h"

#include <windows.h>

#include <vector>

juce::File ProgramFile::get()
{
    // The module file of the process itself; the buffer grows until the whole
    // path fits (paths may be longer than MAX_PATH).
    std::vector<wchar_t> path(MAX_PATH);
    for (;;)
    {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return juce::File(juce::String(path.data(), length));
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}
