// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AppendFile.h"

#include <windows.h>

#include <system_error>

namespace
{
juce::String lastErrorText()
{
    return std::system_category().message(static_cast<int>(::GetLastError()));
}
} // namespace

const char* const AppendFile::lineEnd = "\r\n";

// FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of
// the file as it is then, and never over what is there. Others may read,
// append to, rename or delete the file while it is open (the record is
// trimmed by renaming a shorter copy over it).
AppendFile::AppendFile(const juce::File& file)
{
    const HANDLE opened =
        ::CreateFileW(file.getFullPathName().toWideCharPointer(), FILE_APPEND_DATA | SYNCHRONIZE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
    {
        whyNotOpen = lastErrorText();
        return;
    }
    if (::GetFileType(opened) != FILE_TYPE_DISK)
    {
        ::CloseHandle(opened);
        whyNotOpen = "not a regular file";
        return;
    }
    handle = reinterpret_cast<std::intptr_t>(opened);
}

AppendFile::~AppendFile()
{
    if (handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

juce::String AppendFile::append(const char* bytes, std::size_t size)
{
    if (handle == -1)
        return whyNotOpen;
    while (size > 0)
    {
        DWORD written = 0;
        if (!::WriteFile(reinterpret_cast<HANDLE>(handle), bytes, static_cast<DWORD>(size),
                         &written, nullptr))
            return lastErrorText();
        if (written == 0)
            return std::system_category().message(ERROR_DISK_FULL);
        bytes += written;
        size -= written;
    }
    return {};
}
