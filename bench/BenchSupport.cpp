// KVR516_UPDATE, GPL-3.0-or-later.
#include "BenchSupport.h"

#include "net/Protocol.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

std::unique_ptr<juce::StreamingSocket> BenchSupport::connectLoopback(int& peer)
{
    peer = -1;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return nullptr;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof(a);
    auto socket = std::make_unique<juce::StreamingSocket>();
    const bool listening = ::bind(listener, reinterpret_cast<sockaddr*>(&a), n) == 0 &&
                           ::listen(listener, 1) == 0 &&
                           ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n) == 0;
    if (listening && socket->connect("127.0.0.1", ntohs(a.sin_port), 5000))
        peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    return peer >= 0 ? std::move(socket) : nullptr;
}

double BenchSupport::median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<double> BenchSupport::piecePauses(const std::vector<SendClock::Send>& sends,
                                              long long total)
{
    std::vector<double> pauses;
    long long sent = 0;
    for (std::size_t i = 0; i + 1 < sends.size(); ++i)
    {
        sent += std::max(0L, sends[i].bytes);
        const bool pieceEnded =
            sent > Protocol::lengthSize &&
            ((sent - Protocol::lengthSize) % Protocol::pieceSize == 0 || sent == total);
        if (pieceEnded)
            pauses.push_back(
                std::chrono::duration<double, std::milli>(sends[i + 1].begin - sends[i].end)
                    .count());
    }
    return pauses;
}
