// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/NetworkSetup.h"

#include "net/UpdateFile.h"

#include <arpa/inet.h>
#include <cstring>
#include <stdexcept>

namespace
{
juce::String dottedDecimal(std::uint32_t networkOrder)
{
    in_addr address{};
    address.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof(text));
    return juce::String(text);
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
    if (result == ok)
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
int NetworkSetup::findUpdateFile(const juce::File& programFile)
{
    const juce::File file = UpdateFile::besideProgram(programFile);
    if (!file.existsAsFile())
        return noUpdateFile;

    const juce::int64 size = file.getSize();
    if (size < UpdateFile::tagSize || size > UpdateFile::maxSize)
        return noUpdateFile;

    juce::FileInputStream in(file);
    if (in.failedToOpen())
        return noUpdateFile;

    juce::HeapBlock<char> block(64 * 1024);
    juce::int64 total = 0;
    // The tag may come in over more than one read: a read may return fewer
    // bytes than asked for before the end of the file.
    char tagBytes[UpdateFile::tagSize];
    int tagHave = 0;

    for (;;)
    {
        const int n = in.read(block.get(), 64 * 1024);
        if (n <= 0)
            break;

        if (tagHave < UpdateFile::tagSize)
        {
            const int take = juce::jmin(n, UpdateFile::tagSize - tagHave);
            std::memcpy(tagBytes + tagHave, block.get(), static_cast<size_t>(take));
            tagHave += take;
            if (tagHave == UpdateFile::tagSize && !UpdateFile::isTag(tagBytes))
                return noUpdateFile;
        }

        total += n;
        if (total > size)
            return noUpdateFile;
    }

    return tagHave == UpdateFile::tagSize && total == size ? ok : noUpdateFile;
}

int NetworkSetup::findInterfaces(InterfaceQuery& query)
{
    std::vector<InterfaceQuery::Entry> entries;
    switch (query.listIpv4(entries))
    {
    case InterfaceQuery::Outcome::cannotOpen:
        return noNetworking;
    case InterfaceQuery::Outcome::cannotList:
        return noInterfaceList;
    case InterfaceQuery::Outcome::listed:
        break;
    }

    if (entries.size() > static_cast<std::size_t>(maxEntries))
        return noInterfaceList;

    const std::uint32_t loopback = htonl(INADDR_LOOPBACK);
    for (const auto& entry : entries)
    {
        if (entry.address == loopback)
            continue;

        addresses.push_back(dottedDecimal(entry.address));
        broadcastAddresses.push_back(dottedDecimal(entry.address | ~entry.netmask));
    }

    return addresses.empty() ? onlyLoopback : ok;
}
