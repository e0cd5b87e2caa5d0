// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/windows/WindowsInterfaceQuery.h"

#include <winsock2.h>
#include <ws2tcpip.h>

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

    INTERFACE_INFO answer[answerBytes / sizeof(INTERFACE_INFO)] = {};
    DWORD bytes = 0;
    const int queried = ::WSAIoctl(handle, SIO_GET_INTERFACE_LIST, nullptr, 0, answer,
                                   sizeof(answer), &bytes, nullptr, nullptr);

    if (queried == 0)
    {
        const auto count = bytes / sizeof(INTERFACE_INFO);

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
