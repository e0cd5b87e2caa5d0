// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AppendFile.h"
#include "platform/windows/SystemErrorText.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace
{
juce::String lastErrorText()
{
    return SystemErrorText::of(::GetLastError());
}

// Two bytes far beyond any end the file will reach, which Windows allows a lock
// on and which keep nobody from reading or writing the record itself: the
// turn of one append, and the hold that every open AppendFile shares and that
// trim takes alone.
OVERLAPPED farByte(DWORD which)
{
    OVERLAPPED byte{};
    byte.OffsetHigh = 0x7FFFFFFF;
    byte.Offset = which;
    return byte;
}
constexpr DWORD turnByte = 0, holdByte = 1;

// Writes all of size bytes at the file pointer; why not, or empty.
juce::String writeAll(HANDLE file, const char* bytes, std::size_t size)
{
    while (size > 0)
    {
        DWORD written = 0;
        if (!::WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr))
            return lastErrorText();
        if (written == 0)
            return SystemErrorText::of(ERROR_DISK_FULL);
        bytes += written;
        size -= written;
    }
    return {};
}
} // namespace

const char* const AppendFile::lineEnd = "\r\n";

// FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of
// the file as it is then, and never over what is there; reading is asked for
// only because LockFileEx needs it. Others may read, append to, rename or
// delete the file while it is open. The shared lock on the hold byte is
// waited for while a trim runs, and lasts as long as the handle.
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
    OVERLAPPED hold = farByte(holdByte);
    if (!::LockFileEx(opened, 0, 0, 1, 0, &hold))
    {
        whyNotOpen = lastErrorText();
        ::CloseHandle(opened);
        return;
    }
    handle = reinterpret_cast<std::intptr_t>(opened);
}

AppendFile::~AppendFile()
{
    if (handle == -1)
        return;
    // Windows ends a lock left at the close only when it gets round to it.
    OVERLAPPED hold = farByte(holdByte);
    ::UnlockFileEx(reinterpret_cast<HANDLE>(handle), 0, 1, 0, &hold);
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

// Microsoft documents that an append never overwrites what is there, not that
// the bytes of two writers never mix (and under Wine two handles' appends do
// overwrite each other): each append therefore holds an exclusive lock, which
// LockFileEx waits for across handles and processes, on the turn byte.
juce::String AppendFile::append(const char* bytes, std::size_t size)
{
    if (handle == -1)
        return whyNotOpen;
    const HANDLE file = reinterpret_cast<HANDLE>(handle);
    OVERLAPPED turn = farByte(turnByte);
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn))
        return lastErrorText();
    const juce::String failure = writeAll(file, bytes, size);
    ::UnlockFileEx(file, 0, 1, 0, &turn);
    return failure;
}

// The hold byte alone, tried and never waited for: had only while no
// AppendFile holds the file. The kept lines are written over the start, then
// the file is cut after them.
juce::String AppendFile::trim(const juce::File& file, juce::int64 limit)
{
    const HANDLE opened =
        ::CreateFileW(file.getFullPathName().toWideCharPointer(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? juce::String() : lastErrorText();
    juce::String why;
    OVERLAPPED hold = farByte(holdByte);
    LARGE_INTEGER size{};
    const bool regular = ::GetFileType(opened) == FILE_TYPE_DISK;
    const bool locked =
        regular &&
        ::LockFileEx(opened, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &hold);
    if (!regular)
        why = "not a regular file";
    else if (!locked)
        why = ::GetLastError() == ERROR_LOCK_VIOLATION ? juce::String() : lastErrorText();
    else if (!::GetFileSizeEx(opened, &size))
        why = lastErrorText();
    else if (size.QuadPart > limit)
    {
        std::vector<char> tail(static_cast<std::size_t>(limit));
        LARGE_INTEGER at{};
        at.QuadPart = size.QuadPart - limit;
        DWORD got = 0;
        if (!::SetFilePointerEx(opened, at, nullptr, FILE_BEGIN) ||
            !::ReadFile(opened, tail.data(), static_cast<DWORD>(tail.size()), &got, nullptr))
            why = lastErrorText();
        // The first line end of the tail ends a line cut in two: it goes too.
        const auto* end = static_cast<const char*>(std::memchr(tail.data(), '\n', got));
        const char* kept = end == nullptr ? tail.data() + got : end + 1;
        const auto keep = static_cast<std::size_t>(tail.data() + got - kept);
        at.QuadPart = 0;
        if (why.isEmpty() && !::SetFilePointerEx(opened, at, nullptr, FILE_BEGIN))
            why = lastErrorText();
        if (why.isEmpty())
            why = writeAll(opened, kept, keep);
        if (why.isEmpty() && !::SetEndOfFile(opened))
            why = lastErrorText();
    }
    // Windows ends a lock left at the close only when it gets round to it.
    if (locked)
        ::UnlockFileEx(opened, 0, 1, 0, &hold);
    ::CloseHandle(opened);
    return why;
}
