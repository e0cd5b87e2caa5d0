// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/InterfaceQuery.h"

// Lists the IPv4 addresses through Windows Sockets: a datagram socket serves
// as the handle of SIO_GET_INTERFACE_LIST. Its answer first has room for 20
// entries; a longer list (virtual adapters of WSL, Hyper-V, Docker, VPNs) is
// asked for again with twice the room, up to maxEntries.
class WindowsInterfaceQuery : public InterfaceQuery
{
public:
    // Room of the first answer: 20 INTERFACE_INFO records of 76 bytes.
    static constexpr int answerBytes = 1520;
    // The most entries asked for.
    static constexpr int maxEntries = 1280;

    Outcome listIpv4(std::vector<Entry>& entries) override;
};
