// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/StateFolder.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

juce::File StateFolder::get()
{
    // The known folder, where the user or an administrator may have moved it;
    // JUCE asks through the older CSIDL functions, which Microsoft has
    // replaced by this one.
    PWSTR path = nullptr;
    juce::File folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)))
        folder = juce::File(juce::String(path));
    // Freed whether or not the call succeeded.
    ::CoTaskMemFree(path);
    return folder;
}
