// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/OpenFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

// Opening never waits (a named pipe with no writer, a device), and anything
// but a regular file is closed again at once. Once the file is known to be
// regular its reads wait as reads of a file do: a file system that would
// answer a non-blocking read with "try again" (FUSE) then simply answers.
OpenFile::OpenFile(const juce::File& file)
{
    const int fd =
        ::open(file.getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
    {
        notOpened = std::generic_category().message(errno);
        return;
    }

    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        notOpened = "not a regular file";
        ::close(fd);
        return;
    }

    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    {
        notOpened = std::generic_category().message(errno);
        ::close(fd);
        return;
    }
    handle = fd;
}

OpenFile::~OpenFile()
{
    if (handle >= 0)
        ::close(static_cast<int>(handle));
}

juce::int64 OpenFile::regularFileSize() const
{
    struct stat info
    {
    };
    if (handle < 0 || ::fstat(static_cast<int>(handle), &info) != 0)
        return -1;
    return static_cast<juce::int64>(info.st_size);
}

bool OpenFile::readExactly(char* into, int size)
{
    while (size > 0)
    {
        const ssize_t n = ::read(static_cast<int>(handle), into, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        size -= static_cast<int>(n);
    }
    return true;
}
