// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AppendFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace
{
juce::String errnoText(int error)
{
    return std::generic_category().message(error);
}

// Opens file with flags as a regular file and returns its descriptor, or -1
// and why not. Opening never waits (O_NONBLOCK); once the file is known to be
// regular, its reads and writes are ordinary ones (a FUSE file system could
// answer a non-blocking write with "try again"). A file it makes is its
// owner's alone (0600); a record of the owner's that others may read is made
// so too.
int openRegular(const juce::File& file, int flags, juce::String& why)
{
    const int fd =
        ::open(file.getFullPathName().toRawUTF8(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
    if (fd < 0)
    {
        why = errnoText(errno);
        return -1;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        why = "not a regular file";
        errno = EINVAL;
        return -1;
    }
    if ((info.st_mode & 077) != 0 && info.st_uid == ::geteuid())
        ::fchmod(fd, info.st_mode & 0700);
    const int got = ::fcntl(fd, F_GETFL);
    if (got < 0 || ::fcntl(fd, F_SETFL, got & ~O_NONBLOCK) != 0)
    {
        why = errnoText(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

int lockFile(int fd, int how)
{
    int done;
    while ((done = ::flock(fd, how)) != 0 && errno == EINTR)
    {
    }
    return done;
}

// Writes all of size bytes at offset (at the end with O_APPEND); why not, or
// empty. A regular file takes the whole write at once; a rest is written only
// when a signal or a full disk cut it short.
juce::String writeAll(int fd, const char* bytes, std::size_t size, off_t offset)
{
    while (size > 0)
    {
        const ssize_t n = offset < 0 ? ::write(fd, bytes, size) : ::pwrite(fd, bytes, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errnoText(errno);
        if (n == 0)
            return errnoText(ENOSPC);
        bytes += n;
        size -= static_cast<std::size_t>(n);
        if (offset >= 0)
            offset += n;
    }
    return {};
}
} // namespace

const char* const AppendFile::lineEnd = "\n";

// O_APPEND: the kernel moves to the end and writes as one step, whatever
// other descriptors of this file (in any process) wrote in between. The
// shared flock lasts as long as the descriptor; reading is asked for only
// because NFS, which makes it a POSIX read lock, needs it.
AppendFile::AppendFile(const juce::File& file)
{
    const int fd = openRegular(file, O_RDWR | O_APPEND | O_CREAT, whyNotOpen);
    if (fd < 0)
        return;
    // A file system without locks (ENOLCK, EOPNOTSUPP) still takes the lines;
    // trim then never finds the file free and leaves it as it is.
    if (lockFile(fd, LOCK_SH) != 0 && errno != ENOLCK && errno != EOPNOTSUPP)
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
    return writeAll(static_cast<int>(handle), bytes, size, -1);
}

// The exclusive flock is tried, never waited for: it is had only while no
// AppendFile holds the file. The kept lines are written over the start (a
// descriptor without O_APPEND, whose pwrite goes where it is told), then the
// file is cut after them.
juce::String AppendFile::trim(const juce::File& file, juce::int64 limit)
{
    juce::String why;
    const int fd = openRegular(file, O_RDWR, why);
    if (fd < 0)
        return errno == ENOENT ? juce::String() : why;
    struct stat info
    {
    };
    if (lockFile(fd, LOCK_EX | LOCK_NB) != 0)
        why = errno == EWOULDBLOCK ? juce::String() : errnoText(errno);
    else if (::fstat(fd, &info) != 0)
        why = errnoText(errno);
    else if (info.st_size > limit)
    {
        std::vector<char> tail(static_cast<std::size_t>(limit));
        std::size_t got = 0;
        while (got < tail.size() && why.isEmpty())
        {
            const ssize_t n = ::pread(fd, tail.data() + got, tail.size() - got,
                                      static_cast<off_t>(info.st_size - limit) + got);
            if (n < 0 && errno != EINTR)
                why = errnoText(errno);
            else if (n == 0)
                why = "the file became shorter";
            else if (n > 0)
                got += static_cast<std::size_t>(n);
        }
        // The first line end of the tail ends a line cut in two: it goes too.
        const auto* end = static_cast<const char*>(std::memchr(tail.data(), '\n', got));
        const char* kept = end == nullptr ? tail.data() + got : end + 1;
        const auto keep = static_cast<std::size_t>(tail.data() + got - kept);
        if (why.isEmpty())
            why = writeAll(fd, kept, keep, 0);
        if (why.isEmpty() && ::ftruncate(fd, static_cast<off_t>(keep)) != 0)
            why = errnoText(errno);
    }
    ::close(fd);
    return why;
}
