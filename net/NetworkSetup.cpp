// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/NetworkSetup.h"

#include "platform/OpenFile.h"
#include "record/DiagnosticLog.h"

#include <cstring>
#include <stdexcept>

namespace
{
// The check reads the file in blocks of this size, whatever its size.
constexpr int checkBlockSize = 64 * 1024;

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
// size, and a stop request is looked at after each block. Its SHA-256 is taken
// over the very bytes read.
NetworkSetup::Result NetworkSetup::findUpdateFile(const juce::File& programFile,
                                                  const StopRequested& stopRequested)
{
    const juce::File file = UpdateFile::besideProgram(programFile);
    const juce::String name = "update file " + file.getFullPathName();
    OpenFile in(file);
    const juce::int64 size = in.regularFileSize();
    if (size < 0)
    {
        DiagnosticLog::line(name + " cannot be opened: " + in.whyNotOpened());
        return Result::noUpdateFile;
    }
    if (size < Protocol::tagSize || size > UpdateFile::maxSize)
    {
        DiagnosticLog::line(name + " is " + juce::String(size) + " bytes: no update file");
        return Result::noUpdateFile;
    }

    Sha256 hash;
    juce::HeapBlock<char> block(checkBlockSize);
    for (juce::int64 left = size; left > 0;)
    {
        const int n = static_cast<int>(std::min<juce::int64>(left, checkBlockSize));
        if (!in.readExactly(block, n))
        {
            DiagnosticLog::line(name + " changed while it was read");
            return Result::noUpdateFile;
        }
        if (left == size && !UpdateFile::isTag(block))
        {
            DiagnosticLog::line(name + " does not start with " + Protocol::tag);
            return Result::noUpdateFile;
        }
        if (!hash.add(block, static_cast<std::size_t>(n)))
            break; // said below
        left -= n;
        if (stopRequested && stopRequested())
            return Result::noUpdateFile;
    }
    // One byte more: a file that grew while it was read is not the one measured.
    char more = 0;
    if (hash.failure().isEmpty() && in.readExactly(&more, 1))
    {
        DiagnosticLog::line(name + " changed while it was read");
        return Result::noUpdateFile;
    }

    // Without its SHA-256 the file cannot be checked, nor the bytes sent later
    // be shown to be those checked: the check fails as for a file it cannot read.
    const std::optional<Sha256::Digest> digest = hash.finish();
    if (!digest)
    {
        DiagnosticLog::line(name + " cannot be checked: the system's SHA-256 failed (" +
                            hash.failure() + ")");
        return Result::noUpdateFile;
    }
    updateFile = {size, *digest};
    const juce::String hex = Sha256::hex(updateFile.hash);
    DiagnosticLog::line(name + ": " + juce::String(size) + " bytes, SHA-256 " + hex);
    return Result::ok;
}

NetworkSetup::Result NetworkSetup::findInterfaces(InterfaceQuery& query)
{
    std::vector<Network> networks;
    const Result listed = listNetworks(query, networks);
    for (const Network& n : networks)
    {
        addresses.push_back(n.address);
        broadcastAddresses.push_back(n.broadcastAddress);
    }
    return listed;
}

NetworkSetup::Result NetworkSetup::listNetworks(InterfaceQuery& query,
                                                std::vector<Network>& networks)
{
    networks.clear();
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

    const juce::IPAddress loopback = juce::IPAddress::local();
    for (const auto& entry : entries)
        if (fromNetworkOrder(entry.address) != loopback)
            networks.push_back(
                {dottedDecimal(entry.address), dottedDecimal(entry.address | ~entry.netmask)});

    return networks.empty() ? Result::onlyLoopback : Result::ok;
}
