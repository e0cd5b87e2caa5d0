// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AppendFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace
{
juce::String errnoText(int error)
{
    return std::generic_category().message(error);
}
} // namespace

const char* const AppendFile::lineEnd = "\n";

// O_APPEND: the kernel moves to the end and writes as one step, whatever
// other descriptors of this file (in any process) wrote in between. Opening
// never waits (O_NONBLOCK); once the file is known to be regular, its writes
// are ordinary ones (a FUSE file system could answer a non-blocking write
// with "try again").
AppendFile::AppendFile(const juce::File& file)
{
    const int fd = ::open(file.getFullPathName().toRawUTF8(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0)
    {
        whyNotOpen = errnoText(errno);
        return;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        whyNotOpen = "not a regular file";
        return;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    {
        whyNotOpen = errnoText(errno);
        ::close(fd);
        return;
    }
    handle = fd;
}

AppendFile::~AppendFile()
{
    if (handle >= 0)
        ::close(static_cast<int>(handle));
}

juce::String AppendFile::append(const char* bytes, std::size_t size)
{
    if (handle < 0)
        return whyNotOpen;
    // A regular file takes the whole write at once; a rest is written only
    // when a signal or a full disk cut it short.
    while (size > 0)
    {
        const ssize_t n = ::write(static_cast<int>(handle), bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errnoText(errno);
        if (n == 0)
            return errnoText(ENOSPC);
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return {};
}
