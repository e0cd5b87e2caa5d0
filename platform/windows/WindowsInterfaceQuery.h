// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/InterfaceQuery.h"

// Lists the IPv4 addresses through Windows Sockets: a datagram socket serves
// as the handle of SIO_GET_INTERFACE_LIST, whose answer has room for 20
// entries; a longer list makes the query fail.
class WindowsInterfaceQuery : public InterfaceQuery
{
public:
    // Room of the query's answer: 20 INTERFACE_INFO records of 76 bytes.
    static constexpr int answerBytes = 1520;

    Outcome listIpv4(std::vector<Entry>& entries) override;
};
