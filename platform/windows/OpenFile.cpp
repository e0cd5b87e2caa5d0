// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/OpenFile.h"

#include <windows.h>

namespace
{
HANDLE open(const juce::File& file)
{
    // Others may go on reading, writing, renaming or deleting the file.
    return ::CreateFileW(file.getFullPathName().toWideCharPointer(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

OpenFile::OpenFile(const juce::File& file)
    : handle(
          [&file]
          {
              const HANDLE opened = open(file);
              return opened == INVALID_HANDLE_VALUE ? std::intptr_t(-1)
                                                    : reinterpret_cast<std::intptr_t>(opened);
          }())
{
}

OpenFile::~OpenFile()
{
    if (handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

juce::int64 OpenFile::regularFileSize() const
{
    if (handle == -1)
        return -1;

    const HANDLE file = reinterpret_cast<HANDLE>(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !::GetFileSizeEx(file, &size))
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
