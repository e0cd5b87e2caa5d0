// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/windows/WindowsInterfaceQuery.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

static_assert(sizeof(INTERFACE_INFO) == 76, "INTERFACE_INFO is 76 bytes");
static_assert(WindowsInterfaceQuery::answerBytes == 20 * sizeof(INTERFACE_INFO),
              "the answer has room for 20 entries");

InterfaceQuery::Outcome WindowsInterfaceQuery::listIpv4(std::vector<Entry>& entries)
{
    entries.clear();

    // A failed start-up shows in the socket that cannot be made.
    WSADATA data{};
    const bool started = ::WSAStartup(MAKEWORD(2, 0), &data) == 0;

    const SOCKET handle =
        ::WSASocketA(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (handle == INVALID_SOCKET)
    {
        if (started)
            ::WSACleanup();
        return Outcome::cannotOpen;
    }

    // An answer too small for the list fails with WSAEFAULT (the system's
    // documentation also allows WSAENOBUFS): the list is asked for again with
    // twice the room.
    std::vector<INTERFACE_INFO> answer(answerBytes / sizeof(INTERFACE_INFO));
    DWORD bytes = 0;
    int queried = SOCKET_ERROR;
    for (;;)
    {
        queried = ::WSAIoctl(handle, SIO_GET_INTERFACE_LIST, nullptr, 0, answer.data(),
                             static_cast<DWORD>(answer.size() * sizeof(INTERFACE_INFO)), &bytes,
                             nullptr, nullptr);
        const int error = queried == 0 ? 0 : ::WSAGetLastError();
        if ((error != WSAEFAULT && error != WSAENOBUFS) ||
            answer.size() * 2 > static_cast<std::size_t>(maxEntries))
            break;
        answer.assign(answer.size() * 2, INTERFACE_INFO{});
    }

    if (queried == 0)
    {
        const auto count = std::min<std::size_t>(bytes / sizeof(INTERFACE_INFO), answer.size());
        for (std::size_t i = 0; i < count; ++i)
        {
            Entry entry;
            entry.address = answer[i].iiAddress.AddressIn.sin_addr.s_addr;
            entry.netmask = answer[i].iiNetmask.AddressIn.sin_addr.s_addr;
            entries.push_back(entry);
        }
    }

    ::closesocket(handle);
    if (started)
        ::WSACleanup();

    return queried == 0 ? Outcome::listed : Outcome::cannotList;
}

// The program's query on this platform.
std::unique_ptr<InterfaceQuery> InterfaceQuery::createForPlatform()
{
    return std::make_unique<WindowsInterfaceQuery>();
}
