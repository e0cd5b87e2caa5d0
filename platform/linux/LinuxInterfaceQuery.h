// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/InterfaceQuery.h"

// Lists the IPv4 addresses with getifaddrs. A datagram socket is opened first
// as the query's handle: when even that fails, networking is not available.
class LinuxInterfaceQuery : public InterfaceQuery
{
public:
    Outcome listIpv4(std::vector<Entry>& entries) override;
};
