// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/LoopbackPair.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackPair::LoopbackPair()
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        if (listener >= 0)
            ::close(listener);
        return;
    }

    auto socket = std::make_unique<juce::StreamingSocket>();
    if (socket->connect("127.0.0.1", ntohs(address.sin_port), 5000))
    {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 5000) > 0)
            peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        client = std::move(socket);
    }
    ::close(listener);
}

LoopbackPair::~LoopbackPair()
{
    if (peer >= 0)
        ::close(peer);
}

std::string LoopbackPair::read(std::size_t count, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::string got;
    char buffer[65536];
    while (got.size() < count)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd p{peer, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        const ssize_t n = ::recv(peer, buffer, std::min(sizeof(buffer), count - got.size()), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

bool LoopbackPair::nothingPending() const
{
    char byte;
    return ::recv(peer, &byte, 1, MSG_DONTWAIT | MSG_PEEK) < 0 &&
           (errno == EAGAIN || errno == EWOULDBLOCK);
}

bool LoopbackPair::resetFromPeer()
{
    linger l{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
    ::close(peer);
    peer = -1;

    pollfd p{client->getRawSocketHandle(), POLLIN, 0};
    return ::poll(&p, 1, 5000) > 0 && (p.revents & (POLLERR | POLLHUP)) != 0;
}
