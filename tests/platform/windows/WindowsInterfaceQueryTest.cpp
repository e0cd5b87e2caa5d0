// KVR516_UPDATE, GPL-3.0-or-later.
// The Windows interface list. In a network namespace of the test's own
// (windows_interfaces_in_namespace.sh), the address and broadcast address it
// gives in KVR_NAMESPACE_ADDRESS and KVR_NAMESPACE_BROADCAST must be listed,
// and the list must hold the KVR_NAMESPACE_ENTRIES addresses the namespace
// has, as long as they fit the query's 20 entries.
#include "platform/windows/WindowsInterfaceQuery.h"
#include "net/NetworkSetup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <winsock2.h>

namespace
{
std::uint32_t networkOrder(const char* dotted)
{
    return ::inet_addr(dotted);
}

// The whole initialise stage, with an update file beside a program file.
std::unique_ptr<NetworkSetup> initialiseWith(InterfaceQuery& query)
{
    const juce::TemporaryFile folder;
    folder.getFile().createDirectory();
    const auto program = folder.getFile().getChildFile("KVR516_UPDATE.exe");
    program.withFileExtension("upd").replaceWithText("KVR700X2 update");
    auto setup = std::make_unique<NetworkSetup>(program, query);
    folder.getFile().deleteRecursively();
    return setup;
}
} // namespace

TEST(WindowsInterfaceQuery, ListsTheLoopbackWithItsNetmask)
{
    WindowsInterfaceQuery query;
    std::vector<InterfaceQuery::Entry> entries(3); // emptied first

    ASSERT_EQ(query.listIpv4(entries), InterfaceQuery::Outcome::listed);
    ASSERT_LE(entries.size(), 20u);

    bool loopback = false;
    for (const auto& entry : entries)
        loopback = loopback || (entry.address == networkOrder("127.0.0.1") &&
                                entry.netmask == networkOrder("255.0.0.0"));
    EXPECT_TRUE(loopback);
}

TEST(WindowsInterfaceQuery, NamespaceAddressAndItsBroadcastAreListed)
{
    const char* address = std::getenv("KVR_NAMESPACE_ADDRESS");
    const char* broadcast = std::getenv("KVR_NAMESPACE_BROADCAST");
    if (address == nullptr || broadcast == nullptr)
        GTEST_SKIP() << "runs inside the namespace of windows_interfaces_in_namespace.sh";

    WindowsInterfaceQuery query;
    const auto setup = initialiseWith(query);

    ASSERT_EQ(setup->getResult(), NetworkSetup::Result::ok);
    bool found = false;
    for (int i = 0; i < setup->getNumAddresses(); ++i)
    {
        EXPECT_NE(setup->getAddress(i), "127.0.0.1");
        if (setup->getAddress(i) == address)
        {
            found = true;
            EXPECT_EQ(setup->getBroadcastAddress(i), broadcast);
        }
    }
    EXPECT_TRUE(found) << address;
}

// 20 entries fill the first answer exactly; with more, the list is asked for
// again with more room, and every address is listed.
TEST(WindowsInterfaceQuery, NamespaceListHoldsAllItsAddresses)
{
    const char* count = std::getenv("KVR_NAMESPACE_ENTRIES");
    if (count == nullptr)
        GTEST_SKIP() << "runs inside the namespace of windows_interfaces_in_namespace.sh";
    const auto expected = static_cast<std::size_t>(std::atoi(count));

    WindowsInterfaceQuery query;
    std::vector<InterfaceQuery::Entry> entries;
    EXPECT_EQ(query.listIpv4(entries), InterfaceQuery::Outcome::listed);
    EXPECT_EQ(entries.size(), expected);
    EXPECT_EQ(initialiseWith(query)->getResult(), NetworkSetup::Result::ok);
}
