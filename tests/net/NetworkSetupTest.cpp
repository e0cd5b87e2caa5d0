// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/NetworkSetup.h"
#include "net/UpdateFile.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace
{
class ListedQuery : public InterfaceQuery
{
public:
    explicit ListedQuery(std::vector<Entry> e) : listed(std::move(e)) {}
    Outcome listIpv4(std::vector<Entry>& entries) override
    {
        entries = listed;
        return Outcome::listed;
    }
    std::vector<Entry> listed;
};
} // namespace

TEST(NetworkSetup, GoodFileAndOneAdapter)
{
    juce::TemporaryFile folder;
    const auto dir = folder.getFile();
    ASSERT_TRUE(dir.createDirectory());
    const auto program = dir.getChildFile("Updater.exe");
    ASSERT_TRUE(dir.getChildFile("Updater.upd").replaceWithText("KVR700X2 payload"));

    ListedQuery query(
        {{htonl(0x7F000001), htonl(0xFF000000)}, {htonl(0xC0A8010A), htonl(0xFFFFFF00)}});
    NetworkSetup setup(program, query);
    EXPECT_EQ(setup.getResult(), 0);
    ASSERT_EQ(setup.getNumAddresses(), 1);
    EXPECT_EQ(setup.getAddress(0), "192.168.1.10");
    EXPECT_EQ(setup.getBroadcastAddress(0), "192.168.1.255");
    dir.deleteRecursively();
}
