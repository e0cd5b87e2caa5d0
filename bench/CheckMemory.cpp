// KVR516_UPDATE, GPL-3.0-or-later.
//
// Memory of the initialise stage's check: builds the NetworkSetup (update-file
// check and interface list) for update files of 1 MiB, 1 GiB and the largest
// size the stream can announce, each in a fresh child process, and prints the
// child's peak resident memory and how much the check added to it. The figures
// must not grow with the file.
//
//   kvr_check_bench [--runs N]
//
// The files are sparse: they take no disk space, but a check that read them
// whole would still need memory for every byte.

#include "net/NetworkSetup.h"
#include "platform/linux/LinuxInterfaceQuery.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
// The process's peak resident memory so far, in KiB.
long peakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool makeSparseFile(const juce::File& file, long long size)
{
    const int fd = ::open(file.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "KVR700X2", 8) == 8 && ::ftruncate(fd, size) == 0;
    ::close(fd);
    return ok;
}

struct Figures
{
    long peakKiB = 0;  // the child's peak resident memory
    long addedKiB = 0; // what the check added to it
    double ms = 0;     // how long the check took
    int result = -1;   // the NetworkSetup's result
};

// Runs the check in a child process, so that each size starts from the same
// memory and the peak is the check's own.
Figures checkInChild(const juce::File& program)
{
    Figures f;
    int fds[2];
    if (::pipe(fds) != 0)
        return f;
    const pid_t child = ::fork();
    if (child == 0)
    {
        ::close(fds[0]);
        Figures mine;
        const long before = peakKiB();
        LinuxInterfaceQuery query;
        const auto start = std::chrono::steady_clock::now();
        NetworkSetup setup(program, query);
        mine.ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        mine.result = static_cast<int>(setup.getResult());
        mine.addedKiB = peakKiB() - before;
        const bool sent = ::write(fds[1], &mine, sizeof(mine)) == sizeof(mine);
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    const bool read = ::read(fds[0], &f, sizeof(f)) == sizeof(f);
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!read)
        f.result = -1;
    f.peakKiB = usage.ru_maxrss;
    return f;
}

template <typename T> T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0)
        runs = std::max(1, std::atoi(argv[2]));

    const juce::File folder = juce::File::createTempFile("kvr-check-bench");
    folder.createDirectory();
    const juce::File program = folder.getChildFile("Updater");

    std::printf("Check of the update file, median of %d runs, each in a fresh process\n", runs);
    std::printf("%14s %14s %12s %10s %7s %s\n", "file_bytes", "peak_rss_kib", "check_kib",
                "check_ms", "result", "verdict");
    int failures = 0;
    long smallest = -1;
    for (const long long size : {1LL << 20, 1LL << 30, 0xFFFFFFFFLL})
    {
        if (!makeSparseFile(folder.getChildFile("Updater.upd"), size))
        {
            std::fprintf(stderr, "cannot make a %lld-byte file in %s\n", size,
                         folder.getFullPathName().toRawUTF8());
            return 1;
        }
        std::vector<long> peaks, added;
        std::vector<double> times;
        int result = 0;
        for (int r = 0; r < runs; ++r)
        {
            const Figures f = checkInChild(program);
            peaks.push_back(f.peakKiB);
            added.push_back(f.addedKiB);
            times.push_back(f.ms);
            result =
                f.result == static_cast<int>(NetworkSetup::Result::noUpdateFile) || f.result < 0
                    ? f.result
                    : result;
        }
        const long peak = median(peaks);
        if (smallest < 0)
            smallest = peak;
        // Constant within 1 MiB of the smallest file's figure.
        const bool constant = peak - smallest < 1024;
        const bool ok = constant && result >= 0 &&
                        result != static_cast<int>(NetworkSetup::Result::noUpdateFile);
        failures += ok ? 0 : 1;
        std::printf("%14lld %14ld %12ld %10.3f %7d %s\n", size, peak, median(added), median(times),
                    result,
                    ok         ? "ok"
                    : constant ? "FAILED"
                               : "GROWS-WITH-FILE");
    }
    folder.deleteRecursively();
    return failures == 0 ? 0 : 1;
}
