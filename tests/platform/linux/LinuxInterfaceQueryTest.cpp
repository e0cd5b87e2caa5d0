// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/linux/LinuxInterfaceQuery.h"
#include "net/NetworkSetup.h"
#include "support/NetNamespace.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace
{
// An update file beside a program in a temporary folder, so that the listing runs.
struct ProgramWithUpdateFile
{
    ProgramWithUpdateFile()
    {
        folder.createDirectory();
        folder.getChildFile("KVR516_UPDATE.upd").replaceWithText("KVR700X2");
    }
    ~ProgramWithUpdateFile() { folder.deleteRecursively(); }

    juce::File program() const { return folder.getChildFile("KVR516_UPDATE"); }

    juce::File folder = juce::File::createTempFile("kvr-platform");
};

#define SKIP_UNLESS_ROOT()                                                                         \
    if (!NetNamespace::isRoot())                                                                   \
    GTEST_SKIP() << "needs root to create network namespaces"
} // namespace

TEST(LinuxInterfaceQuery, NamespaceWithOnlyLoopbackListsOnlyLoopback)
{
    SKIP_UNLESS_ROOT();
    NetNamespace ns;
    ASSERT_TRUE(ns.ok());

    ProgramWithUpdateFile files;
    std::vector<InterfaceQuery::Entry> entries;
    InterfaceQuery::Outcome outcome = InterfaceQuery::Outcome::cannotOpen;
    NetworkSetup::Result result{-1};
    int count = -1;
    ns.runInside(
        [&]
        {
            LinuxInterfaceQuery query;
            outcome = query.listIpv4(entries);
            NetworkSetup setup(files.program(), query);
            result = setup.getResult();
            count = setup.getNumAddresses();
        });

    EXPECT_EQ(outcome, InterfaceQuery::Outcome::listed);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].address, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(entries[0].netmask, htonl(0xFF000000));
    EXPECT_EQ(result, NetworkSetup::Result::onlyLoopback);
    EXPECT_EQ(count, 0);
}

TEST(LinuxInterfaceQuery, VethAddressGivesItsDirectedBroadcast)
{
    SKIP_UNLESS_ROOT();
    NetNamespace ns;
    NetNamespace peer;
    ASSERT_TRUE(ns.ok() && peer.ok());
    ASSERT_TRUE(ns.linkTo(peer, "198.51.100.10/24", "198.51.100.20/24"));

    ProgramWithUpdateFile files;
    NetworkSetup::Result result{-1};
    std::vector<juce::String> addresses, broadcasts;
    ns.runInside(
        [&]
        {
            LinuxInterfaceQuery query;
            NetworkSetup setup(files.program(), query);
            result = setup.getResult();
            for (int i = 0; i < setup.getNumAddresses(); ++i)
            {
                addresses.push_back(setup.getAddress(i));
                broadcasts.push_back(setup.getBroadcastAddress(i));
            }
        });

    EXPECT_EQ(result, NetworkSetup::Result::ok);
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0], "198.51.100.10");
    EXPECT_EQ(broadcasts[0], "198.51.100.255");
}
