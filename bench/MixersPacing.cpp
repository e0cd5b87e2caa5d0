// KVR516_UPDATE, GPL-3.0-or-later.
//
// How the update file goes out to several mixers at once. For each number of
// mixers N a fresh process of this program makes an update file (the tag, then
// random bytes), checks it as the initialise stage does (NetworkSetup), opens N
// loopback connections and sends the file on each through a MixerDelivery of
// its own, all started together and looked at every 10 ms from one loop, as
// the send stage does. One reader in a child process takes whatever has
// arrived on any of the connections' other ends (poll over all of them), so
// that neither its processor time nor its memory is counted in the sender's.
//
//   kvr_mixers_bench [--mixers 1,8,32] [--mib M] [--runs R] [--log]
//
// One line per run:
//   pace_med, pace_max  each mixer's time from its reader's first byte (the
//                       length) to its last byte, over its floor of 1 ms per
//                       1024-byte piece: the median and the largest of the N;
//   run                 from starting the first delivery to the last byte of
//                       the last mixer, over one mixer's floor;
//   cpu_s/mixer,        the sending process's processor time (user + system,
//   cpu_ms/MiB          getrusage) from the start to the end of the last
//                       delivery, per mixer and per MiB sent; core%/sender is
//                       the same per mixer as a share of one core; the
//                       reader's own is reader% (of one core), not in them;
//   peak_MiB            the sending process's peak resident memory (VmHWM),
//                       the making and check of the file included;
//   pause_*             the first mixer's pauses, in ms, between the end of one
//                       piece's write and the next write (a send() shim,
//                       SendClock, notes its first 16384 writes): median,
//                       mean, 99th percentile, longest; none may be under 1;
//   write_us, cpu_us,   the first mixer's median write (us), and the median
//   cpu_avg             and mean of its thread's processor time between two
//                       writes, the writes' own not counted: the next piece's
//                       read and hash, the pause's sleep and awake stretch;
//                       thread% is that thread's processor time from its
//                       first to its last write (% of one core);
//   load                the machine's 1-minute load average as the run began.
// The goals are set for 8 mixers: a pacing of at most 1.05 and a run of at most
// 1.10 times one mixer's floor. Other counts are shown against them too, as
// measured. Exits 1 when a delivery did not succeed, a reader missed bytes or a
// pause was under 1 ms.
//
// The sending threads read the file each for itself, a piece at a time, so the
// memory must not grow with the file nor much with the mixers:
// `--mixers 1,32 --mib 100` (about 4 minutes) shows both peaks. --log keeps
// the program's diagnostic lines (standard error), which are dropped otherwise.

#include "BenchSupport.h"
#include "net/NetworkSetup.h"
#include "net/UpdateFile.h"
#include "platform/linux/LinuxInterfaceQuery.h"
#include "update/MixerDelivery.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr double paceGoal = 1.05;
constexpr double runGoal = 1.10;
constexpr int pollMs = 10; // as the send stage looks at its deliveries
constexpr double stallMs = 120000;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// What one connection's reader got; the times are nowNs(), which is the
// system's monotonic clock in every process.
struct Arrival
{
    long long bytes = 0;
    std::int64_t firstNs = 0;
    std::int64_t lastNs = 0;
};

// Reads every connection until it has brought total bytes, ended, or nothing
// at all has come for 30 s.
std::vector<Arrival> readAll(const std::vector<int>& peers, long long total)
{
    std::vector<Arrival> got(peers.size());
    std::vector<pollfd> fds;
    for (const int fd : peers)
        fds.push_back({fd, POLLIN, 0});
    std::vector<char> buffer(1 << 16);
    std::size_t open = peers.size();
    while (open > 0 && ::poll(fds.data(), fds.size(), 30000) > 0)
        for (std::size_t i = 0; i < fds.size(); ++i)
        {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = ::recv(fds[i].fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
            const std::int64_t now = nowNs();
            if (n > 0)
            {
                got[i].firstNs = got[i].bytes == 0 ? now : got[i].firstNs;
                got[i].bytes += n;
                got[i].lastNs = now;
            }
            const bool ended = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
            if (ended || got[i].bytes >= total)
            {
                fds[i].fd = -1; // poll skips it from now on
                --open;
            }
        }
    return got;
}

// The reader, in a child process started before any thread of this one:
// the N arrivals come back through a pipe. Its processor time is in usage.
struct Reader
{
    pid_t pid = -1;
    int results = -1;

    bool start(const std::vector<int>& peers, const std::vector<int>& ours, long long total)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        pid = ::fork();
        if (pid == 0)
        {
            ::close(fds[0]);
            for (const int fd : ours) // the sender's ends: a plain close, no shutdown
                ::close(fd);
            const std::vector<Arrival> got = readAll(peers, total);
            const auto size = static_cast<ssize_t>(got.size() * sizeof(Arrival));
            ::_exit(::write(fds[1], got.data(), static_cast<size_t>(size)) == size ? 0 : 1);
        }
        ::close(fds[1]);
        results = fds[0];
        return pid > 0;
    }

    std::vector<Arrival> finish(std::size_t count, rusage& usage)
    {
        std::vector<Arrival> got(count);
        auto* to = reinterpret_cast<char*>(got.data());
        std::size_t left = count * sizeof(Arrival);
        while (left > 0)
        {
            const ssize_t n = ::read(results, to, left);
            if (n <= 0)
            {
                got.assign(count, {});
                break;
            }
            to += n;
            left -= static_cast<std::size_t>(n);
        }
        ::close(results);
        int status = 0;
        ::wait4(pid, &status, 0, &usage);
        return got;
    }
};

// The tag, then random bytes, written a block at a time.
bool makeUpdateFile(const juce::File& file, long long size)
{
    file.deleteFile();
    juce::FileOutputStream out(file);
    if (!out.openedOk())
        return false;
    std::mt19937_64 random(static_cast<std::uint64_t>(size));
    std::vector<std::uint64_t> block(8192);
    for (long long left = size; left > 0;)
    {
        for (auto& word : block)
            word = random();
        if (left == size)
            std::memcpy(block.data(), Protocol::tag, Protocol::tagSize);
        const auto n = static_cast<size_t>(
            std::min<long long>(left, static_cast<long long>(block.size() * sizeof(block[0]))));
        if (!out.write(block.data(), n))
            return false;
        left -= static_cast<long long>(n);
    }
    out.flush();
    return out.getStatus().wasOk();
}

template <typename Duration> double us(Duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

double mean(const std::vector<double>& values)
{
    double sum = 0;
    for (const double v : values)
        sum += v;
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

double seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double cpuSeconds(const rusage& u)
{
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

double peakMiB()
{
    const juce::StringArray lines =
        juce::StringArray::fromLines(juce::File("/proc/self/status").loadFileAsString());
    for (const auto& line : lines)
        if (line.startsWith("VmHWM:"))
            return line.fromFirstOccurrenceOf(":", false, false).trim().getDoubleValue() / 1024;
    return 0;
}

double loadAverage()
{
    return juce::File("/proc/loadavg").loadFileAsString().getDoubleValue();
}

// One run with mixers deliveries of a file of mib MiB; prints its line.
int measure(int mixers, long long mib)
{
    const double load = loadAverage();
    const long long size = mib * 1024 * 1024;
    const juce::File folder = juce::File::createTempFile("kvr-mixers-bench");
    folder.createDirectory();
    const juce::File program = folder.getChildFile("Updater");
    const auto fail = [&folder](const char* why)
    {
        std::fprintf(stderr, "kvr_mixers_bench: %s\n", why);
        folder.deleteRecursively();
        return 1;
    };
    if (!makeUpdateFile(UpdateFile::besideProgram(program), size))
        return fail("cannot write the update file");
    LinuxInterfaceQuery query;
    const UpdateFile::Measure checked = NetworkSetup(program, query).getUpdateFile();
    if (checked.size != size)
        return fail("the update file's check failed");

    std::vector<std::shared_ptr<juce::StreamingSocket>> sockets;
    std::vector<int> ours;
    std::vector<int> peers;
    for (int i = 0; i < mixers; ++i)
    {
        int peer = -1;
        std::shared_ptr<juce::StreamingSocket> socket = BenchSupport::connectLoopback(peer);
        if (socket == nullptr)
            return fail("cannot open a loopback connection");
        ours.push_back(socket->getRawSocketHandle());
        sockets.push_back(std::move(socket));
        peers.push_back(peer);
    }
    const long long total = Protocol::lengthSize + size;
    Reader reader;
    if (!reader.start(peers, ours, total))
        return fail("cannot start the reader");
    for (const int fd : peers)
        ::close(fd);

    std::vector<std::unique_ptr<MixerDelivery>> deliveries;
    for (const auto& socket : sockets)
        deliveries.push_back(
            std::make_unique<MixerDelivery>(socket, program, checked, stallMs, 1, mixers > 1));
    sockets.clear();

    const double floorMs =
        static_cast<double>((size + Protocol::pieceSize - 1) / Protocol::pieceSize);
    const auto giveUp = Clock::now() + std::chrono::milliseconds(static_cast<int>(floorMs) * 10) +
                        std::chrono::seconds(60);
    // A bounded record, so that the memory is the same for any file.
    SendClock::watch(ours.front(), 16384);
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const std::int64_t startNs = nowNs();
    const auto startThread = [](juce::Thread& t) { return t.startThread(); };
    for (auto& delivery : deliveries)
        delivery->start(startThread);
    for (bool allEnded = false; !allEnded;)
    {
        allEnded = true;
        for (auto& delivery : deliveries)
            allEnded = delivery->poll() && allEnded;
        if (Clock::now() > giveUp)
            for (auto& delivery : deliveries)
                delivery->stop();
        if (!allEnded)
            std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    const std::int64_t endNs = nowNs();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    SendClock::stop();
    const std::vector<SendClock::Send> sends = SendClock::sends();
    std::vector<double> pauses = BenchSupport::piecePauses(sends, total);
    // The first mixer's write, and what its thread spent between two writes
    // (the next piece's read and hash, the pause's sleep and awake stretch):
    // its processor time from one write's end to the next's, less that write.
    std::vector<double> writeUs;
    std::vector<double> betweenUs;
    for (std::size_t i = 0; i < sends.size(); ++i)
    {
        const double write = us(sends[i].end - sends[i].begin);
        writeUs.push_back(write);
        if (i > 0)
            betweenUs.push_back(us(sends[i].threadTime - sends[i - 1].threadTime) - write);
    }
    // Its thread's whole processor time between its first and its last write.
    const double threadPercent =
        sends.size() < 2 ? 0
                         : 100 * us(sends.back().threadTime - sends.front().threadTime) /
                               us(sends.back().end - sends.front().end);
    std::sort(pauses.begin(), pauses.end());
    if (pauses.empty())
        pauses.push_back(0);
    bool ok = true;
    for (const auto& delivery : deliveries)
        ok = ok && delivery->report().result == StageResult::success;
    deliveries.clear();

    rusage readerUsage{};
    const std::vector<Arrival> got = reader.finish(static_cast<std::size_t>(mixers), readerUsage);
    std::vector<double> paces;
    std::int64_t lastNs = startNs;
    for (const Arrival& a : got)
    {
        ok = ok && a.bytes == total;
        paces.push_back(static_cast<double>(a.lastNs - a.firstNs) / 1e6 / floorMs);
        lastNs = std::max(lastNs, a.lastNs);
    }
    const double runRatio = static_cast<double>(lastNs - startNs) / 1e6 / floorMs;
    const double paceMax = *std::max_element(paces.begin(), paces.end());
    const double cpu = cpuSeconds(after) - cpuSeconds(before);
    const double wallS = static_cast<double>(endNs - startNs) / 1e9;
    const double n = mixers;
    const char* verdict = !ok                                        ? "FAILED"
                          : pauses.front() < 1.0                     ? "FASTER-THAN-FLOOR"
                          : paceMax > paceGoal || runRatio > runGoal ? "over-goal"
                                                                     : "ok";
    std::printf("%6d %5lld %9.0f %8.3f %8.3f %6.3f %9.2f %10.3f %10.2f %12.1f %7.1f %8.1f %6.2f "
                "%9.4f %9.4f %9.3f %9.2f %8.1f %8.1f %8.1f %7.1f %5.2f %5.2f %s\n",
                mixers, mib, floorMs, BenchSupport::median(paces), paceMax, runRatio, wallS,
                cpu / n, cpu * 1000 / (n * static_cast<double>(mib)), 100 * cpu / wallS / n,
                100 * cpuSeconds(readerUsage) / wallS, peakMiB(), load,
                BenchSupport::median(pauses), mean(pauses), pauses[pauses.size() * 99 / 100],
                pauses.back(), BenchSupport::median(writeUs), BenchSupport::median(betweenUs),
                mean(betweenUs), threadPercent, paceGoal, runGoal, verdict);
    std::fflush(stdout);
    folder.deleteRecursively();
    return ok && pauses.front() >= 1.0 ? 0 : 1;
}

// Runs this program again with --one count, so that each run's peak memory is
// its own; its diagnostic lines are dropped unless log.
int measureInChild(const char* self, int count, long long mib, bool log)
{
    std::fflush(stdout);
    const std::string n = std::to_string(count);
    const std::string m = std::to_string(mib);
    const pid_t child = ::fork();
    if (child == 0)
    {
        if (!log)
        {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDERR_FILENO);
        }
        const char* const args[] = {self, "--one", n.c_str(), "--mib", m.c_str(), nullptr};
        ::execv("/proc/self/exe", const_cast<char* const*>(args));
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
} // namespace

int main(int argc, char** argv)
{
    int runs = 1;
    long long mib = 8;
    int one = 0;
    bool log = false;
    std::vector<int> counts{1, 8, 32};
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--log") == 0)
            log = true;
        else if (i + 1 == argc)
            break;
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--mib") == 0)
            mib = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--one") == 0)
            one = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--mixers") == 0)
        {
            counts.clear();
            for (const auto& t : juce::StringArray::fromTokens(argv[++i], ",", ""))
                counts.push_back(std::max(1, t.getIntValue()));
        }
    }
    if (one > 0)
        return measure(one, mib);

    std::printf("Several mixers at once, %lld MiB each, %d run(s) per count (floor: 1 ms per "
                "1024-byte piece; pacing: each mixer's first to last byte read; goals for 8 "
                "mixers; the reader is a process of its own, not counted)\n",
                mib, runs);
    std::printf("%6s %5s %9s %8s %8s %6s %9s %10s %10s %12s %7s %8s %6s %9s %9s %9s %9s %8s %8s "
                "%8s %7s %5s %5s %s\n",
                "mixers", "MiB", "floor_ms", "pace_med", "pace_max", "run", "run_s", "cpu_s/mixer",
                "cpu_ms/MiB", "core%/sender", "reader%", "peak_MiB", "load", "pause_med",
                "pause_avg", "pause_p99", "pause_max", "write_us", "cpu_us", "cpu_avg", "thread%",
                "pgoal", "rgoal", "verdict");
    int failures = 0;
    for (const int count : counts)
        for (int r = 0; r < runs; ++r)
            failures += measureInChild(argv[0], count, mib, log) == 0 ? 0 : 1;
    return failures == 0 ? 0 : 1;
}
