// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AppendFile.h"
#include "platform/windows/SystemErrorText.h"

#include <windows.h>

#include <cstring>
#include <string>
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

// Whether opened is a file on disk, not a link (a symbolic link, a junction,
// any reparse point, opened as itself with FILE_FLAG_OPEN_REPARSE_POINT) nor
// a folder; why not, or empty.
juce::String notRegular(HANDLE opened)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(opened) != FILE_TYPE_DISK)
        return "not a regular file";
    if (!::GetFileInformationByHandle(opened, &info))
        return lastErrorText();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return "a link, not a regular file";
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return "not a regular file";
    return {};
}

// Opens file as itself, never what a link in its place points to.
HANDLE openAsItself(const juce::File& file, DWORD access, DWORD disposition, DWORD flags = 0)
{
    return ::CreateFileW(file.getFullPathName().toWideCharPointer(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | flags,
                         nullptr);
}

// Whether opened is the file that file names now (not one a trim replaced):
// the same volume and file index.
bool isNamedBy(HANDLE opened, const juce::File& file)
{
    const HANDLE named =
        openAsItself(file, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (named == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const bool same = ::GetFileInformationByHandle(opened, &a) &&
                      ::GetFileInformationByHandle(named, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    ::CloseHandle(named);
    return same;
}

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
// waited for while a trim runs, and lasts as long as the handle; a trim that
// ran meanwhile has put a new file in the old one's place, which is opened
// instead.
AppendFile::AppendFile(const juce::File& file)
{
    for (int attempt = 0; attempt < 16; ++attempt)
    {
        const HANDLE opened = openAsItself(file, GENERIC_READ | FILE_APPEND_DATA, OPEN_ALWAYS);
        if (opened == INVALID_HANDLE_VALUE)
        {
            whyNotOpen = lastErrorText();
            return;
        }
        whyNotOpen = notRegular(opened);
        OVERLAPPED hold = farByte(holdByte);
        if (whyNotOpen.isEmpty() && !::LockFileEx(opened, 0, 0, 1, 0, &hold))
            whyNotOpen = lastErrorText();
        if (whyNotOpen.isNotEmpty())
        {
            ::CloseHandle(opened);
            return;
        }
        if (isNamedBy(opened, file))
        {
            handle = reinterpret_cast<std::intptr_t>(opened);
            return;
        }
        ::UnlockFileEx(opened, 0, 1, 0, &hold);
        ::CloseHandle(opened);
    }
    whyNotOpen = "the file is replaced again and again";
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

namespace
{
// Writes bytes to a new file beside file (which takes the owner-only
// permissions of the folder, as file did) and renames it over file: whoever
// reads file finds either all of it as it was or all of bytes, whenever the
// process ends. The rename that replaces a file others have open (Windows 10
// version 1809 and later, on NTFS) is tried first, then ReplaceFileW, which
// opens the file it replaces sharing it with every other handle.
// Returns why not, or empty.
juce::String replaceWith(const juce::File& file, const char* bytes, std::size_t size)
{
    // FileRenameInfoEx, which MinGW's headers name only for newer targets.
    constexpr auto renameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    const std::wstring name = file.getFullPathName().toWideCharPointer(), from = name + L".trim";
    ::DeleteFileW(from.c_str()); // left by a trim that was ended
    const HANDLE made =
        ::CreateFileW(from.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (made == INVALID_HANDLE_VALUE)
        return lastErrorText();
    juce::String why = writeAll(made, bytes, size);
    if (why.isEmpty() && !::FlushFileBuffers(made))
        why = lastErrorText();
    bool renamed = false;
    if (why.isEmpty())
    {
        // A name without a folder: the same folder.
        const std::wstring to = file.getFileName().toWideCharPointer();
        const DWORD nameBytes = static_cast<DWORD>(to.size() * sizeof(wchar_t));
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
        rename->FileNameLength = nameBytes;
        std::memcpy(rename->FileName, to.data(), nameBytes);
        renamed = ::SetFileInformationByHandle(made, renameInfoEx, rename,
                                               static_cast<DWORD>(buffer.size())) != 0;
    }
    ::CloseHandle(made);
    if (why.isEmpty() && !renamed &&
        !::ReplaceFileW(name.c_str(), from.c_str(), nullptr,
                        REPLACEFILE_WRITE_THROUGH | REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr))
    {
        const DWORD error = ::GetLastError();
        why = SystemErrorText::of(error);
        // The old file is gone, the new one still has its own name: it takes file's.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            return ::MoveFileExW(from.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH)
                       ? juce::String()
                       : why;
    }
    if (why.isNotEmpty())
        ::DeleteFileW(from.c_str());
    return why;
}
} // namespace

// The hold byte alone, tried and never waited for: had only while no
// AppendFile holds the file. It is held until the new file has taken the old
// one's name; an AppendFile that waited for it then opens the new one. A file
// that a trim of another process replaced meanwhile is left to it.
juce::String AppendFile::trim(const juce::File& file, juce::int64 limit)
{
    const HANDLE opened = openAsItself(file, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (opened == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? juce::String() : lastErrorText();
    OVERLAPPED hold = farByte(holdByte);
    LARGE_INTEGER size{};
    juce::String why = notRegular(opened);
    const bool locked =
        why.isEmpty() &&
        ::LockFileEx(opened, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &hold);
    if (why.isEmpty() && !locked)
        why = ::GetLastError() == ERROR_LOCK_VIOLATION ? juce::String() : lastErrorText();
    else if (locked && !::GetFileSizeEx(opened, &size))
        why = lastErrorText();
    else if (locked && size.QuadPart > limit && isNamedBy(opened, file))
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
        if (why.isEmpty())
            why = replaceWith(file, kept, static_cast<std::size_t>(tail.data() + got - kept));
    }
    // Windows ends a lock left at the close only when it gets round to it.
    if (locked)
        ::UnlockFileEx(opened, 0, 1, 0, &hold);
    ::CloseHandle(opened);
    return why;
}
