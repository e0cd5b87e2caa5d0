// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AppendFile.h"
#include "platform/windows/SystemErrorText.h"

#include <windows.h>

namespace
{
juce::String lastErrorText()
{
    return SystemErrorText::of(::GetLastError());
}
} // namespace

const char* const AppendFile::lineEnd = "\r\n";

// FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of
// the file as it is then, and never over what is there; reading is asked for
// only because LockFileEx needs it. Others may read, append to, rename or
// delete the file while it is open (the record is trimmed by renaming a
// shorter copy over it).
AppendFile::AppendFile(const juce::File& file)
{
    const HANDLE opened =
        ::CreateFileW(file.getFullPathName().toWideCharPointer(), GENERIC_READ | FILE_APPEND_DATA,
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

// Microsoft documents that an append never overwrites what is there, not that
// the bytes of two writers never mix (and under Wine two handles' appends do
// overwrite each other): each append therefore holds an exclusive lock, which
// LockFileEx waits for across handles and processes, on one byte far beyond
// any end the file will reach. Windows allows a lock past the end; it keeps
// nobody from reading or writing the record itself.
juce::String AppendFile::append(const char* bytes, std::size_t size)
{
    if (handle == -1)
        return whyNotOpen;
    const HANDLE file = reinterpret_cast<HANDLE>(handle);
    OVERLAPPED turn{};
    turn.OffsetHigh = 0x7FFFFFFF;
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn))
        return lastErrorText();

    juce::String failure;
    while (size > 0 && failure.isEmpty())
    {
        DWORD written = 0;
        if (!::WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr))
            failure = lastErrorText();
        else if (written == 0)
            failure = SystemErrorText::of(ERROR_DISK_FULL);
        bytes += written;
        size -= written;
    }
    ::UnlockFileEx(file, 0, 1, 0, &turn);
    return failure;
}
