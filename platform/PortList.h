// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <string>

// The local ports of a Windows Firewall rule as its LocalPorts property gives
// them: "*", or a comma-separated list of ports ("80") and ranges
// ("5000-5010"), possibly with keywords ("RPC", "IPHTTPS", ...) that name no
// port of ours.
class PortList
{
public:
    // Whether the list covers the port; a keyword, an empty or malformed entry
    // covers nothing.
    static bool covers(const std::wstring& ports, int port);
};
