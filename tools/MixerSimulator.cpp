// KVR516_UPDATE, GPL-3.0-or-later.
//
// Plays the mixer for tests, demos and people without the hardware: waits for
// the program's discovery datagrams on UDP port 56000, checks each byte by byte,
// connects to the address and port they announce, reads the update stream (the
// 4-byte big-endian length, then exactly that many bytes) and prints a one-line
// summary. Fault modes let tests see how the program meets a misbehaving mixer.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <linux/filter.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

// The whole manual: "kvr_mixer_simulator --help" prints it.
const char* const usage =
    "usage: kvr_mixer_simulator [options]\n"
    "\n"
    "Plays the KVR-516helix mixer's side of an update. Waits for the program's\n"
    "discovery datagrams on a UDP port (with address reuse, so it can share the\n"
    "port), checks each byte by byte (8 bytes: 20 00, D2 F0, then the sender's own\n"
    "address), connects to the announced address and port, reads the 4-byte\n"
    "big-endian length and exactly that many bytes, and prints one summary line.\n"
    "\n"
    "Options:\n"
    "  --datagrams N        good datagrams to see before connecting (default 3)\n"
    "  --save FILE          write the received content to FILE\n"
    "  --expect FILE        compare the received content with FILE\n"
    "  --timeout SECONDS    give up after this long (default 30)\n"
    "  --port PORT          UDP port to listen on (default 56000)\n"
    "  --from ADDRESS       connect from this local IPv4 address (bound before\n"
    "                       connecting), so that several simulators in one\n"
    "                       network namespace are each a mixer of their own;\n"
    "                       the datagrams are still taken on every address\n"
    "  --fault MODE         misbehave as a faulty mixer (default none):\n"
    "      reset-on-connect     reset the connection right after connecting\n"
    "      reset-in-length:N    reset after N (0 to 3) of the 4 length bytes\n"
    "      reset-after:N        reset after N content bytes\n"
    "      no-read              connect and never read\n"
    "      stall-then-reset     read nothing until the program's writes stop\n"
    "                           coming (the buffers are full and it waits for\n"
    "                           room), then reset the connection\n"
    "      second-connection    open a second connection after the first, watch\n"
    "                           it for up to 3 s before reading the first, and\n"
    "                           check that it is never served\n"
    "      slow-read            read 1 KiB at a time, with a 5 ms pause after each\n"
    "      pause:N:S            with a small receive buffer, read N content bytes,\n"
    "                           then nothing for S seconds (nothing more is\n"
    "                           acknowledged), then the rest\n"
    "      vanish-before-end:N  with a small receive buffer, read all but the last N\n"
    "                           content bytes, then drop every packet of the\n"
    "                           connection (as a mixer that lost power or its\n"
    "                           cable): nothing more is acknowledged; the summary\n"
    "                           is printed then and the connection held until\n"
    "                           the timeout\n"
    "  --help               print this text\n"
    "\n"
    "The summary line, for example:\n"
    "  datagrams=3 bad=0 source=198.51.100.10:56000 ports=56000\n"
    "  cadence_ms=100.06/100.08/100.11 length=1048653 received=1048653\n"
    "  first_byte_ms=0.41 transfer_ms=1093.52 result=ok\n"
    "(on one line). datagrams and bad count the good and the bad datagrams;\n"
    "source is the last datagram's sender, ports every source port seen,\n"
    "cadence_ms the gaps between datagrams (min/avg/max), length the announced\n"
    "length, first_byte_ms the time from connecting to the first byte,\n"
    "transfer_ms from the first byte to the last. closed_ms, when the connection\n"
    "ended before its first byte, is the time from connecting to its end (0 when\n"
    "refused). second_bytes (with second-connection) counts the bytes served on\n"
    "the second connection, second_closed_ms the time from its connect to its\n"
    "refusal (0), reset or close by the program (none: still open after 3 s).\n"
    "first_datagram_at is the wall-clock time of the first datagram in seconds,\n"
    "reset_at (with stall-then-reset) that of the reset.\n"
    "result is ok, or what went wrong: bad-datagram, no-datagram, cannot-listen,\n"
    "cannot-bind, refused, cannot-connect, reset, short-length, short, mismatch,\n"
    "extra-bytes, cannot-vanish, second-served, timeout.\n"
    "\n"
    "Exit code: 0 when result=ok, 1 otherwise, 2 for unknown options.\n";

struct Options
{
    int datagrams = 3;
    std::string save;
    std::string expect;
    std::string fault = "none";
    long resetAfter = -1;
    int pauseSeconds = 0;
    int timeoutSeconds = 30;
    int port = 56000;
    in_addr from{}; // the local address connections go out from; any by default
};

struct Summary
{
    int datagrams = 0;
    int bad = 0;
    std::string source = "-";
    std::vector<int> ports;
    std::vector<double> intervals;
    long long length = -1;
    long long received = 0;
    double firstByteMs = -1;
    double transferMs = -1;
    double closedMs = -1; // the connection ended before its first byte
    long long secondBytes = -1;
    double secondClosedMs = -1;  // -1: still open at the end of the watch
    double firstDatagramAt = -1; // wall-clock seconds, comparable with other processes
    double resetAt = -1;         // wall-clock seconds
    std::string result = "timeout";
    bool printed = false; // already printed, before the end of the run
};

void print(const Summary& s);

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

int msLeft(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--datagrams")
            o.datagrams = std::atoi(value.c_str());
        else if (arg == "--save")
            o.save = value;
        else if (arg == "--expect")
            o.expect = value;
        else if (arg == "--timeout")
            o.timeoutSeconds = std::atoi(value.c_str());
        else if (arg == "--port")
            o.port = std::atoi(value.c_str());
        else if (arg == "--from")
        {
            if (::inet_pton(AF_INET, value.c_str(), &o.from) != 1)
                return false;
        }
        else if (arg == "--fault")
        {
            o.fault = value;
            if (value.rfind("reset-after:", 0) == 0)
            {
                o.fault = "reset-after";
                o.resetAfter = std::atol(value.c_str() + 12);
            }
            else if (value.rfind("vanish-before-end:", 0) == 0)
            {
                o.fault = "vanish-before-end";
                o.resetAfter = std::atol(value.c_str() + 18);
                if (o.resetAfter < 1)
                    return false;
            }
            else if (value.rfind("pause:", 0) == 0)
            {
                o.fault = "pause";
                char* end = nullptr;
                o.resetAfter = std::strtol(value.c_str() + 6, &end, 10);
                if (o.resetAfter < 0 || *end != ':')
                    return false;
                o.pauseSeconds = std::atoi(end + 1);
            }
            else if (value.rfind("reset-in-length:", 0) == 0)
            {
                o.fault = "reset-in-length";
                o.resetAfter = std::atol(value.c_str() + 16);
                if (o.resetAfter < 0 || o.resetAfter > 3)
                    return false;
            }
            else if (value != "none" && value != "reset-on-connect" && value != "no-read" &&
                     value != "stall-then-reset" && value != "second-connection" &&
                     value != "slow-read")
                return false;
        }
        else
            return false;
    }
    return o.datagrams >= 1 && o.timeoutSeconds > 0 && o.port > 0 && o.port < 65536;
}

// Ends the connection with a reset rather than an orderly close.
void reset(int fd)
{
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
    ::close(fd);
}

double wallClockSeconds()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A stalled mixer resets once its receive queue has stayed the same, and not
// empty, for this many polls this far apart: the program's writes have stopped.
constexpr int stalledPolls = 10;
constexpr int stallPollMs = 50;

// A slow mixer reads this much at a time, with this pause after each read.
constexpr long long slowPiece = 1024;
constexpr int slowPauseMs = 5;

// Reads up to size bytes before the deadline; returns the count, -1 on error.
// With slow set, at most slowPiece bytes per read and a pause after each.
long long readUntil(int fd, char* into, long long size, Clock::time_point deadline,
                    bool slow = false)
{
    long long got = 0;
    while (got < size)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, msLeft(deadline)) <= 0)
            break;
        const long long want = slow ? std::min(size - got, slowPiece) : size - got;
        const ssize_t n = ::recv(fd, into + got, static_cast<size_t>(want), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return got == 0 ? -1 : got;
        if (n == 0)
            break;
        got += n;
        if (slow)
            ::poll(nullptr, 0, slowPauseMs); // the pause is the fault being played
    }
    return got;
}

// Waits for good datagrams; on success fills the announced TCP address.
bool collectDatagrams(const Options& o, Summary& s, sockaddr_in& announced,
                      Clock::time_point deadline)
{
    const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(udp, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(static_cast<std::uint16_t>(o.port));
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (udp < 0 || ::bind(udp, reinterpret_cast<sockaddr*>(&any), sizeof(any)) != 0)
    {
        s.result = "cannot-listen";
        if (udp >= 0)
            ::close(udp);
        return false;
    }

    Clock::time_point last{};
    int good = 0;
    while (good < o.datagrams)
    {
        pollfd p{udp, POLLIN, 0};
        if (::poll(&p, 1, msLeft(deadline)) <= 0)
            break;

        unsigned char d[64];
        sockaddr_in from{};
        socklen_t fromLength = sizeof(from);
        const ssize_t n =
            ::recvfrom(udp, d, sizeof(d), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0)
            continue;

        const auto now = Clock::now();
        if (s.datagrams == 0)
            s.firstDatagramAt = wallClockSeconds();
        ++s.datagrams;
        // 8 bytes: 20 00, the TCP port, then the sender's own address.
        const bool ok = n == 8 && d[0] == 0x20 && d[1] == 0x00 && d[2] == 0xD2 && d[3] == 0xF0 &&
                        std::memcmp(d + 4, &from.sin_addr.s_addr, 4) == 0;
        if (!ok)
        {
            ++s.bad; // a wrong datagram ends the run: the program is at fault
            break;
        }

        const int sourcePort = ntohs(from.sin_port);
        bool known = false;
        for (int p : s.ports)
            known = known || p == sourcePort;
        if (!known)
            s.ports.push_back(sourcePort);

        if (good > 0)
            s.intervals.push_back(msBetween(last, now));
        last = now;
        ++good;

        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof(text));
        s.source = std::string(text) + ":" + std::to_string(sourcePort);

        announced = {};
        announced.sin_family = AF_INET;
        std::memcpy(&announced.sin_port, d + 2, 2);
        std::memcpy(&announced.sin_addr.s_addr, d + 4, 4);
    }
    ::close(udp);
    if (s.bad > 0)
        s.result = "bad-datagram";
    else if (good < o.datagrams)
        s.result = "no-datagram";
    return good >= o.datagrams && s.bad == 0;
}

// A vanishing mixer's receive buffer: small, so that little of what follows
// the bytes it read can have been acknowledged before it vanishes.
constexpr int vanishingReceiveBuffer = 4096;

// Why a connection attempt gave no connection.
enum class ConnectFailure
{
    none,
    bind,    // the local address (--from) could not be taken
    refused, // the program's side answered with a reset: nothing listens
    other    // no answer before the deadline, no route, ...
};

int connectTo(const sockaddr_in& to, in_addr from, Clock::time_point deadline,
              ConnectFailure& failure, int receiveBuffer = 0)
{
    failure = ConnectFailure::other;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
    if (from.s_addr != htonl(INADDR_ANY))
    {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr = from;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0)
        {
            failure = ConnectFailure::bind;
            ::close(fd);
            return -1;
        }
    }
    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) != 0)
    {
        error = errno;
        if (error == EINPROGRESS)
        {
            pollfd p{fd, POLLOUT, 0};
            socklen_t length = sizeof(error);
            error = ETIMEDOUT;
            if (::poll(&p, 1, msLeft(deadline)) > 0 &&
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
        }
    }
    if (error != 0)
    {
        failure = error == ECONNREFUSED ? ConnectFailure::refused : ConnectFailure::other;
        ::close(fd);
        return -1;
    }
    failure = ConnectFailure::none;
    ::fcntl(fd, F_SETFL, 0); // blocking again; every read below is bounded by poll
    return fd;
}

// The second-connection fault's second connection, opened once the program
// has the first: a program that serves one mixer refuses it, or resets or
// closes it. Watched for at most this long before the first is read.
constexpr int secondWatchMs = 3000;

// Returns the second connection while it is still open, else -1; counts what
// it was sent and when it ended.
int watchSecond(const Options& o, Summary& s, const sockaddr_in& announced)
{
    const auto startedAt = Clock::now();
    const auto watchEnd = startedAt + std::chrono::milliseconds(secondWatchMs);
    s.secondBytes = 0;
    ConnectFailure failure;
    const int fd = connectTo(announced, o.from, watchEnd, failure);
    if (fd < 0)
    {
        if (failure == ConnectFailure::refused)
            s.secondClosedMs = 0;
        return -1;
    }
    while (msLeft(watchEnd) > 0)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, msLeft(watchEnd)) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (n > 0)
            s.secondBytes += n;
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
        {
            s.secondClosedMs = msBetween(startedAt, Clock::now());
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

bool sameAsFile(const std::vector<char>& content, const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> expected((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    return in.good() || in.eof() ? expected == content : false;
}

void receive(const Options& o, Summary& s, const sockaddr_in& announced, Clock::time_point deadline)
{
    const bool vanishes = o.fault == "vanish-before-end";
    const bool pauses = o.fault == "pause";
    ConnectFailure failure;
    const int fd = connectTo(announced, o.from, deadline, failure,
                             vanishes || pauses ? vanishingReceiveBuffer : 0);
    if (fd < 0)
    {
        s.result = failure == ConnectFailure::bind      ? "cannot-bind"
                   : failure == ConnectFailure::refused ? "refused"
                                                        : "cannot-connect";
        if (failure == ConnectFailure::refused)
            s.closedMs = 0;
        return;
    }
    const auto connectedAt = Clock::now();

    if (o.fault == "reset-on-connect")
    {
        reset(fd);
        s.result = "ok";
        return;
    }

    const bool twice = o.fault == "second-connection";
    const int second = twice ? watchSecond(o, s, announced) : -1;

    if (o.fault == "no-read")
    {
        // Hold the connection without reading until the deadline.
        pollfd p{fd, POLLRDHUP, 0};
        ::poll(&p, 1, msLeft(deadline));
        ::close(fd);
        s.result = "ok";
        return;
    }

    if (o.fault == "stall-then-reset")
    {
        int queued = -1;
        int same = 0;
        while (same < stalledPolls && msLeft(deadline) > 0)
        {
            ::poll(nullptr, 0, stallPollMs);
            int now = 0;
            ::ioctl(fd, FIONREAD, &now);
            same = now > 0 && now == queued ? same + 1 : 0;
            queued = now;
        }
        reset(fd);
        s.resetAt = wallClockSeconds();
        s.result = same >= stalledPolls ? "ok" : "timeout";
        return;
    }

    unsigned char length[4];
    if (o.fault == "reset-in-length")
    {
        // Read only the first bytes of the length, then reset.
        const long long part =
            readUntil(fd, reinterpret_cast<char*>(length), o.resetAfter, deadline);
        reset(fd);
        s.result = part == o.resetAfter ? "ok" : "short-length";
        return;
    }
    const long long got = readUntil(fd, reinterpret_cast<char*>(length), 4, deadline);
    const auto firstByteAt = Clock::now();
    if (got != 4)
    {
        // Ended by the program before the deadline: refused as a mixer.
        const bool ended = got < 0 || msLeft(deadline) > 0;
        if (got <= 0 && ended)
            s.closedMs = msBetween(connectedAt, firstByteAt);
        s.result = got < 0 ? "reset" : got == 0 && !ended ? "timeout" : "short-length";
        ::close(fd);
        return;
    }
    s.firstByteMs = msBetween(connectedAt, firstByteAt);
    s.length = (static_cast<long long>(length[0]) << 24) | (length[1] << 16) | (length[2] << 8) |
               length[3];

    const long long wanted = o.fault == "reset-after" ? std::min<long long>(o.resetAfter, s.length)
                             : vanishes ? std::max<long long>(0, s.length - o.resetAfter)
                                        : s.length;
    std::vector<char> content(static_cast<size_t>(wanted));
    long long n = 0;
    if (pauses)
    {
        const long long first = std::min<long long>(o.resetAfter, wanted);
        n = readUntil(fd, content.data(), first, deadline);
        if (n == first)
        {
            ::poll(nullptr, 0, o.pauseSeconds * 1000); // the pause is the fault being played
            const long long rest = readUntil(fd, content.data() + n, wanted - n, deadline);
            n = rest < 0 ? n : n + rest;
        }
    }
    else
        n = readUntil(fd, content.data(), wanted, deadline, o.fault == "slow-read");
    s.received = n < 0 ? 0 : n;
    s.transferMs = msBetween(firstByteAt, Clock::now());
    content.resize(static_cast<size_t>(s.received));

    if (o.fault == "reset-after")
    {
        reset(fd);
        s.result = s.received == wanted ? "ok" : "short";
        return;
    }

    if (vanishes)
    {
        // A socket filter that keeps nothing: every packet of the connection
        // is dropped before TCP sees it, so nothing more is acknowledged. The
        // connection is held, not closed, which would tell the program.
        sock_filter dropAll{BPF_RET | BPF_K, 0, 0, 0};
        sock_fprog filter{1, &dropAll};
        const bool dropping =
            ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof(filter)) == 0;
        s.result = !dropping ? "cannot-vanish" : s.received == wanted ? "ok" : "short";
        print(s);
        s.printed = true;
        ::poll(nullptr, 0, msLeft(deadline));
        ::close(fd);
        return;
    }

    if (!o.save.empty())
        std::ofstream(o.save, std::ios::binary).write(content.data(), s.received);

    if (s.received != s.length)
        s.result = n < 0 ? "reset" : "short";
    else if (!o.expect.empty() && !sameAsFile(content, o.expect))
        s.result = "mismatch";
    else
    {
        // Nothing may follow the announced bytes.
        char extra;
        pollfd p{fd, POLLIN, 0};
        const bool more = ::poll(&p, 1, 50) > 0 && ::recv(fd, &extra, 1, MSG_DONTWAIT) > 0;
        s.result = more ? "extra-bytes" : "ok";
    }

    if (second >= 0)
    {
        // Still open after the watch: nothing may have come on it since.
        char buffer[256];
        pollfd p{second, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0)
        {
            const ssize_t m = ::recv(second, buffer, sizeof(buffer), MSG_DONTWAIT);
            s.secondBytes += m > 0 ? m : 0;
        }
        ::close(second);
    }
    // The program must never have taken the second connection as the mixer.
    if (twice && s.secondBytes != 0 && s.result == "ok")
        s.result = "second-served";
    ::close(fd);
}

void print(const Summary& s)
{
    std::string ports;
    for (int p : s.ports)
        ports += (ports.empty() ? "" : ",") + std::to_string(p);
    double lo = 0, hi = 0, sum = 0;
    for (size_t i = 0; i < s.intervals.size(); ++i)
    {
        lo = i == 0 ? s.intervals[i] : std::min(lo, s.intervals[i]);
        hi = std::max(hi, s.intervals[i]);
        sum += s.intervals[i];
    }
    const double avg = s.intervals.empty() ? 0 : sum / static_cast<double>(s.intervals.size());

    std::printf("datagrams=%d bad=%d source=%s ports=%s cadence_ms=%.2f/%.2f/%.2f length=%lld "
                "received=%lld first_byte_ms=%.2f transfer_ms=%.2f",
                s.datagrams, s.bad, s.source.c_str(), ports.empty() ? "-" : ports.c_str(), lo, avg,
                hi, s.length, s.received, s.firstByteMs, s.transferMs);
    if (s.closedMs >= 0)
        std::printf(" closed_ms=%.2f", s.closedMs);
    if (s.secondBytes >= 0)
    {
        std::printf(" second_bytes=%lld", s.secondBytes);
        if (s.secondClosedMs >= 0)
            std::printf(" second_closed_ms=%.2f", s.secondClosedMs);
        else
            std::printf(" second_closed_ms=none");
    }
    if (s.firstDatagramAt >= 0)
        std::printf(" first_datagram_at=%.6f", s.firstDatagramAt);
    if (s.resetAt >= 0)
        std::printf(" reset_at=%.6f", s.resetAt);
    std::printf(" result=%s\n", s.result.c_str());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--help") == 0)
        {
            std::fputs(usage, stdout);
            return 0;
        }
    }

    Options o;
    if (!parse(argc, argv, o))
    {
        std::fputs(usage, stderr);
        return 2;
    }

    const auto deadline = Clock::now() + std::chrono::seconds(o.timeoutSeconds);
    Summary s;
    sockaddr_in announced{};
    if (collectDatagrams(o, s, announced, deadline))
        receive(o, s, announced, deadline);
    if (!s.printed)
        print(s);
    return s.result == "ok" ? 0 : 1;
}
