// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/linux/LinuxInterfaceQuery.h"

#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

InterfaceQuery::Outcome LinuxInterfaceQuery::listIpv4(std::vector<Entry>& entries)
{
    entries.clear();

    const int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (handle < 0)
        return Outcome::cannotOpen;

    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
    {
        ::close(handle);
        return Outcome::cannotList;
    }

    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next)
    {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET)
            continue;

        Entry entry;
        entry.address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
        // Without a netmask the address is taken as a network of its own, so
        // that its broadcast address is the address itself.
        entry.netmask = i->ifa_netmask != nullptr
                            ? reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr
                            : 0xFFFFFFFFu;
        entries.push_back(entry);
    }

    ::freeifaddrs(list);
    ::close(handle);
    return Outcome::listed;
}

// The program's query on this platform.
std::unique_ptr<InterfaceQuery> InterfaceQuery::createForPlatform()
{
    return std::make_unique<LinuxInterfaceQuery>();
}
