// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/ProgramFile.h"

#include <windows.h>

#include <vector>

namespace
{
// The module file of the process itself, as it was loaded; the buffer grows
// until the whole path fits (paths may be longer than MAX_PATH).
juce::String moduleFileName()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;)
    {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return juce::String(path.data(), length);
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

// The path the system reaches the file by, every symbolic link and junction
// resolved, without the "\\?\" prefix it comes with; empty when the file
// system cannot tell.
juce::String finalPathOf(const juce::String& path)
{
    const HANDLE file = ::CreateFileW(path.toWideCharPointer(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};

    std::vector<wchar_t> text(MAX_PATH);
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD length =
        ::GetFinalPathNameByHandleW(file, text.data(), static_cast<DWORD>(text.size()), flags);
    if (length >= text.size()) // too small: length is the size needed, its end included
    {
        text.resize(length);
        length =
            ::GetFinalPathNameByHandleW(file, text.data(), static_cast<DWORD>(text.size()), flags);
    }
    ::CloseHandle(file);
    if (length == 0 || length >= text.size())
        return {};

    const juce::String resolved(text.data(), length);
    if (resolved.startsWith("\\\\?\\UNC\\"))
        return "\\\\" + resolved.substring(8);
    if (resolved.startsWith("\\\\?\\"))
        return resolved.substring(4);
    return resolved;
}
} // namespace

juce::File ProgramFile::get()
{
    const juce::String module = moduleFileName();
    if (module.isEmpty())
        return {};
    // Where a file system cannot tell a file's final path (some virtual
    // drives), the path the program was loaded from is the best there is.
    const juce::String resolved = finalPathOf(module);
    return juce::File(resolved.isNotEmpty() ? resolved : module);
}
