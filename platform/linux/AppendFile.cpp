// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/AppendFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
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
// and why not. A symbolic link in its place is never followed (O_NOFOLLOW),
// so that no other file is ever written, cut or made owner-only through it.
// Opening never waits (O_NONBLOCK); once the file is known to be regular, its
// reads and writes are ordinary ones (a FUSE file system could answer a
// non-blocking write with "try again"). A file it makes is its owner's alone
// (0600); a record of the owner's that others may read is made so too.
int openRegular(const juce::File& file, int flags, juce::String& why)
{
    const char* const path = file.getFullPathName().toRawUTF8();
    const int fd = ::open(path, flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0600);
    if (fd < 0)
    {
        const int error = errno;
        struct stat link
        {
        };
        why = error == ELOOP && ::lstat(path, &link) == 0 && S_ISLNK(link.st_mode)
                  ? juce::String("a symbolic link, not a regular file")
                  : errnoText(error);
        errno = error;
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

// Whether fd is the file that file names now (not one a trim replaced).
bool isNamedBy(int fd, const juce::File& file)
{
    struct stat held
    {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(file.getFullPathName().toRawUTF8(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
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
// because NFS, which makes it a POSIX read lock, needs it. A trim that ran
// while the lock was waited for has put a new file in the old one's place:
// that one is opened instead.
AppendFile::AppendFile(const juce::File& file)
{
    for (int attempt = 0; attempt < 16; ++attempt)
    {
        const int fd = openRegular(file, O_RDWR | O_APPEND | O_CREAT, whyNotOpen);
        if (fd < 0)
            return;
        // A file system without locks (ENOLCK, EOPNOTSUPP) still takes the
        // lines; trim then never finds the file free and leaves it as it is.
        if (lockFile(fd, LOCK_SH) != 0 && errno != ENOLCK && errno != EOPNOTSUPP)
        {
            whyNotOpen = errnoText(errno);
            ::close(fd);
            return;
        }
        if (isNamedBy(fd, file))
        {
            handle = fd;
            return;
        }
        ::close(fd);
    }
    whyNotOpen = "the file is replaced again and again";
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

namespace
{
// Writes bytes to a new file beside file, of the same owner and group and
// owner-only (or, when it is another's, of its mode), and renames it over
// file: whoever reads file finds either all of it as it was or all of bytes,
// whenever the process ends. Returns why not, or empty.
juce::String replaceWith(const juce::File& file, const struct stat& was, const char* bytes,
                         std::size_t size)
{
    const std::string path = file.getFullPathName().toStdString(), temp = path + ".trim";
    ::unlink(temp.c_str()); // a copy left by a trim that was ended
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0)
        return errnoText(errno);
    struct stat made
    {
    };
    const mode_t mode = was.st_mode & (was.st_uid == ::geteuid() ? 0700 : 0777);
    juce::String why;
    if (::fstat(fd, &made) != 0 ||
        ((made.st_uid != was.st_uid || made.st_gid != was.st_gid) &&
         ::fchown(fd, was.st_uid, was.st_gid) != 0) ||
        ::fchmod(fd, mode) != 0)
        why = errnoText(errno);
    if (why.isEmpty())
        why = writeAll(fd, bytes, size, 0);
    if (why.isEmpty() && ::fsync(fd) != 0)
        why = errnoText(errno);
    if (::close(fd) != 0 && why.isEmpty())
        why = errnoText(errno);
    if (why.isEmpty() && ::rename(temp.c_str(), path.c_str()) != 0)
        why = errnoText(errno);
    if (why.isNotEmpty())
        ::unlink(temp.c_str());
    return why;
}
} // namespace

// The exclusive flock is tried, never waited for: it is had only while no
// AppendFile holds the file. It is held until the new file has taken the old
// one's name; an AppendFile that waited for it then opens the new one. A file
// that a trim of another process replaced meanwhile is left to it.
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
    else if (info.st_size > limit && isNamedBy(fd, file))
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
        if (why.isEmpty())
            why = replaceWith(file, info, kept, static_cast<std::size_t>(tail.data() + got - kept));
    }
    ::close(fd);
    return why;
}
