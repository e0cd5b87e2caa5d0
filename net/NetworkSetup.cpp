// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/NetworkSetup.h"

#include "net/UpdateFile.h"

#include <cstring>
#include <stdexcept>

namespace
{
// An address in network byte order: its bytes in memory are its four numbers.
juce::IPAddress fromNetworkOrder(std::uint32_t networkOrder)
{
    juce::uint8 bytes[4] = {};
    std::memcpy(bytes, &networkOrder, 4);
    return juce::IPAddress(bytes);
}

juce::String dottedDecimal(std::uint32_t networkOrder)
{
    return fromNetworkOrder(networkOrder).toString();
}

std::size_t checkedIndex(int index, std::size_t count)
{
    if (static_cast<unsigned>(index) >= count)
        throw std::out_of_range("NetworkSetup: interface index out of range");
    return static_cast<std::size_t>(index);
}
} // namespace

NetworkSetup::NetworkSetup()
    : NetworkSetup(UpdateFile::thisProgram(), *InterfaceQuery::createForPlatform())
{
}

NetworkSetup::NetworkSetup(const juce::File& programFile, InterfaceQuery& query)
{
    result = findUpdateFile(programFile);
    if (result == Result::ok)
        result = findInterfaces(query);
}

juce::String NetworkSetup::getAddress(int index) const
{
    return addresses[checkedIndex(index, addresses.size())];
}

juce::String NetworkSetup::getBroadcastAddress(int index) const
{
    return broadcastAddresses[checkedIndex(index, broadcastAddresses.size())];
}

// The file is good when it exists, its size can be announced in 32 bits, it
// reads to its end with exactly that many bytes, and it starts with the tag.
// It is read in fixed blocks, so memory stays the same whatever its size.
NetworkSetup::Result NetworkSetup::findUpdateFile(const juce::File& programFile)
{
    const juce::File file = UpdateFile::besideProgram(programFile);
    if (!file.existsAsFile())
        return Result::noUpdateFile;

    const juce::int64 size = file.getSize();
    if (size < UpdateFile::tagSize || size > UpdateFile::maxSize)
        return Result::noUpdateFile;

    juce::FileInputStream in(file);
    if (in.failedToOpen())
        return Result::noUpdateFile;

    juce::HeapBlock<char> block(64 * 1024);
    juce::int64 total = 0;
    bool tagSeen = false;

    for (;;)
    {
        const int n = in.read(block.get(), 64 * 1024);
        if (n <= 0)
            break;

        if (total == 0)
        {
            if (n < UpdateFile::tagSize || !UpdateFile::isTag(block.get()))
                return Result::noUpdateFile;
            tagSeen = true;
        }

        total += n;
        if (total > size)
            return Result::noUpdateFile;
    }

    return tagSeen && total == size ? Result::ok : Result::noUpdateFile;
}

NetworkSetup::Result NetworkSetup::findInterfaces(InterfaceQuery& query)
{
    std::vector<InterfaceQuery::Entry> entries;
    switch (query.listIpv4(entries))
    {
    case InterfaceQuery::Outcome::cannotOpen:
        return Result::noNetworking;
    case InterfaceQuery::Outcome::cannotList:
        return Result::noInterfaceList;
    case InterfaceQuery::Outcome::listed:
        break;
    }

    if (entries.size() > static_cast<std::size_t>(maxEntries))
        return Result::noInterfaceList;

    const juce::IPAddress loopback = juce::IPAddress::local();
    for (const auto& entry : entries)
    {
        if (fromNetworkOrder(entry.address) == loopback)
            continue;

        addresses.push_back(dottedDecimal(entry.address));
        broadcastAddresses.push_back(dottedDecimal(entry.address | ~entry.netmask));
    }

    return addresses.empty() ? Result::onlyLoopback : Result::ok;
}
