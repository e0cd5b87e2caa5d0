// KVR516_UPDATE, GPL-3.0-or-later.
//
// How fast the update file goes out: streams files of several sizes over a
// loopback connection to a reader that takes everything at once, and prints the
// time each took against its floor, one 1 ms pause per 1024-byte piece.

#include "net/Update.h"

#include <juce_core/juce_core.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
// A loopback connection: the program's side as a StreamingSocket, the other
// side's handle in peer.
std::unique_ptr<juce::StreamingSocket> connectLoopback(int& peer)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof(a);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), n) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        return nullptr;
    auto socket = std::make_unique<juce::StreamingSocket>();
    if (!socket->connect("127.0.0.1", ntohs(a.sin_port), 5000))
        return nullptr;
    peer = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    return peer >= 0 ? std::move(socket) : nullptr;
}

// Reads total bytes or until nothing comes for 10 s; returns the count.
long long drain(int fd, long long total)
{
    std::vector<char> buffer(1 << 16);
    long long got = 0;
    while (got < total)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        got += n;
    }
    return got;
}
} // namespace

int main()
{
    const juce::File folder = juce::File::createTempFile("kvr-bench");
    folder.createDirectory();
    const juce::File program = folder.getChildFile("Updater");

    std::printf("%10s %7s %10s %9s %6s %8s %s\n", "bytes", "pieces", "elapsed_ms", "floor_ms",
                "ratio", "MiB/s", "status");
    int failures = 0;
    for (const long long size : {64LL * 1024, 1024LL * 1024, 4LL * 1024 * 1024})
    {
        juce::MemoryBlock content(static_cast<size_t>(size), true);
        std::memcpy(content.getData(), "KVR700X2", 8);
        folder.getChildFile("Updater.upd").replaceWithData(content.getData(), content.getSize());

        int peer = -1;
        auto socket = connectLoopback(peer);
        if (socket == nullptr)
        {
            std::fprintf(stderr, "no loopback connection\n");
            return 1;
        }

        long long received = 0;
        Update update(socket.get(), program);
        const auto start = std::chrono::steady_clock::now();
        std::thread reader([&] { received = drain(peer, 4 + size); });
        update.startThread();
        reader.join();
        const double elapsed =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        while (update.getStatus() == Update::running && update.isThreadRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));

        const long long pieces = (size + Update::pieceSize - 1) / Update::pieceSize;
        const bool ok = received == 4 + size && update.getStatus() == Update::done;
        failures += ok ? 0 : 1;
        std::printf("%10lld %7lld %10.1f %9lld %6.2f %8.2f %s\n", size, pieces, elapsed, pieces,
                    elapsed / static_cast<double>(pieces),
                    static_cast<double>(size) / (1024.0 * 1024.0) / (elapsed / 1000.0),
                    ok ? "ok" : "FAILED");
        ::close(peer);
    }
    folder.deleteRecursively();
    return failures == 0 ? 0 : 1;
}
