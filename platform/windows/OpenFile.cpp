// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/OpenFile.h"

#include <windows.h>

namespace
{
// Others may go on reading the file, but not write, rename or delete it while
// it is open (an open for writing that is already there makes this one fail).
// Anything but a file on a disk (a pipe, a console, a device) is closed again.
std::intptr_t openRegular(const juce::File& file)
{
    const HANDLE opened =
        ::CreateFileW(file.getFullPathName().toWideCharPointer(), GENERIC_READ, FILE_SHARE_READ,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return -1;

    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(opened) != FILE_TYPE_DISK || !::GetFileInformationByHandle(opened, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        ::CloseHandle(opened);
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(opened);
}
} // namespace

OpenFile::OpenFile(const juce::File& file) : handle(openRegular(file)) {}

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
