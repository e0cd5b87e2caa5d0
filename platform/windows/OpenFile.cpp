// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/OpenFile.h"
#include "platform/windows/SystemErrorText.h"

#include <windows.h>

// Others may go on reading the file, but not write, rename or delete it while
// it is open (an open for writing that is already there makes this one fail:
// a browser still writing the download gives a sharing violation). Anything
// but a file on a disk (a pipe, a console, a device) is closed again.
OpenFile::OpenFile(const juce::File& file)
{
    const HANDLE opened =
        ::CreateFileW(file.getFullPathName().toWideCharPointer(), GENERIC_READ, FILE_SHARE_READ,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
    {
        notOpened = SystemErrorText::of(::GetLastError());
        return;
    }

    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(opened) != FILE_TYPE_DISK || !::GetFileInformationByHandle(opened, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        notOpened = "not a regular file";
        ::CloseHandle(opened);
        return;
    }
    handle = reinterpret_cast<std::intptr_t>(opened);
}

OpenFile::~OpenFile()
{
    if (handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

juce::int64 OpenFile::regularFileSize() const
{
    LARGE_INTEGER size{};
    if (handle == -1 || !::GetFileSizeEx(reinterpret_cast<HANDLE>(handle), &size))
        return -1;
    return static_cast<juce::int64>(size.QuadPart);
}

bool OpenFile::readExactly(char* into, int size)
{
    if (handle == -1)
        return false;

    while (size > 0)
    {
        DWORD n = 0;
        if (!::ReadFile(reinterpret_cast<HANDLE>(handle), into, static_cast<DWORD>(size), &n,
                        nullptr) ||
            n == 0)
            return false;
        into += n;
        size -= static_cast<int>(n);
    }
    return true;
}
