// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/NetworkSetup.h"

#include "net/UpdateFile.h"
#include "platform/OpenFile.h"

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

NetworkSetup::NetworkSetup(const juce::File& programFile, InterfaceQuery& query,
                           const StopRequested& stopRequested)
{
    result = findUpdateFile(programFile, stopRequested);
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

// The file is good when it is a regular file, its size can be announced in 32
// bits, it reads to its end with exactly that many bytes, and it starts with
// the tag. It is read in fixed blocks, so memory stays the same whatever its
// size, and a stop request is looked at before each block.
NetworkSetup::Result NetworkSetup::findUpdateFile(const juce::File& programFile,
                                                  const StopRequested& stopRequested)
{
    OpenFile in(UpdateFile::besideProgram(programFile));
    const juce::int64 size = in.regularFileSize();
    if (size < UpdateFile::tagSize || size > UpdateFile::maxSize)
        return Result::noUpdateFile;

    char tag[UpdateFile::tagSize];
    if (!in.readExactly(tag, UpdateFile::tagSize) || !UpdateFile::isTag(tag))
        return Result::noUpdateFile;

    constexpr int blockSize = 64 * 1024;
    juce::HeapBlock<char> block(blockSize);
    for (juce::int64 left = size - UpdateFile::tagSize; left > 0; left -= blockSize)
    {
        if (stopRequested && stopRequested())
            return Result::noUpdateFile;
        if (!in.readExactly(block.get(),
                            static_cast<int>(juce::jmin<juce::int64>(blockSize, left))))
            return Result::noUpdateFile; // shorter than its size: it shrank, or a read failed
    }

    // Not one byte more: a file that grew while it was read is not the one measured.
    char more = 0;
    return in.readExactly(&more, 1) ? Result::noUpdateFile : Result::ok;
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
