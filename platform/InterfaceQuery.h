// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The computer's configured IPv4 addresses with their netmasks, in the order
// the platform reports them. Tests replace it with a list of their own.
class InterfaceQuery
{
public:
    // One configured address; both values in network byte order.
    struct Entry
    {
        std::uint32_t address = 0;
        std::uint32_t netmask = 0;
    };

    enum class Outcome
    {
        listed,     // entries holds every configured IPv4 address
        cannotOpen, // the platform's networking could not be opened
        cannotList  // the list could not be obtained
    };

    virtual ~InterfaceQuery() = default;

    // Fills entries (emptied first) with every IPv4 address, loopback included.
    virtual Outcome listIpv4(std::vector<Entry>& entries) = 0;

    // The implementation for the platform the program runs on.
    static std::unique_ptr<InterfaceQuery> createForPlatform();
};
