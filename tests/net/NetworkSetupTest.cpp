// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/NetworkSetup.h"
#include "net/UpdateFile.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr std::uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return (a << 24) | (b << 16) | (c << 8) | d;
}

InterfaceQuery::Entry entry(std::uint32_t address, std::uint32_t netmask)
{
    return {htonl(address), htonl(netmask)};
}

const InterfaceQuery::Entry loopback = entry(ip(127, 0, 0, 1), ip(255, 0, 0, 0));

// Answers with a fixed list or a fixed failure, and counts its calls.
class FakeQuery : public InterfaceQuery
{
public:
    explicit FakeQuery(std::vector<Entry> e, Outcome o = Outcome::listed)
        : listed(std::move(e)), outcome(o)
    {
    }

    Outcome listIpv4(std::vector<Entry>& entries) override
    {
        ++calls;
        entries = outcome == Outcome::listed ? listed : std::vector<Entry>{};
        return outcome;
    }

    std::vector<Entry> listed;
    Outcome outcome;
    int calls = 0;
};

// A temporary folder that plays the program's own folder.
class Folder
{
public:
    Folder() { dir.createDirectory(); }
    ~Folder() { dir.deleteRecursively(); }

    juce::File file(const char* name) const { return dir.getChildFile(name); }

    void write(const char* name, const void* data, size_t size) const
    {
        ASSERT_TRUE(file(name).replaceWithData(data, size));
    }

    void write(const char* name, const std::string& text) const
    {
        write(name, text.data(), text.size());
    }

    juce::File dir = juce::File::createTempFile("kvr-setup");
};

NetworkSetup::Result checkFile(const juce::File& program)
{
    FakeQuery query({loopback, entry(ip(192, 168, 1, 10), ip(255, 255, 255, 0))});
    return NetworkSetup(program, query).getResult();
}

std::vector<std::pair<juce::String, juce::String>> lists(const NetworkSetup& setup)
{
    std::vector<std::pair<juce::String, juce::String>> out;
    for (int i = 0; i < setup.getNumAddresses(); ++i)
        out.emplace_back(setup.getAddress(i), setup.getBroadcastAddress(i));
    return out;
}
} // namespace

// ---- The update file beside the program --------------------------------------------------

TEST(UpdateFileCheck, GoodTagBesideTheProgramPasses)
{
    Folder f;
    f.write("Updater.upd", "KVR700X2 and anything after it \x01\x02");
    EXPECT_EQ(checkFile(f.file("Updater.exe")), NetworkSetup::Result::ok);
}

TEST(UpdateFileCheck, OnlyTheTagIsExamined)
{
    Folder f;
    f.write("Updater.upd", "KVR700X2");
    EXPECT_EQ(checkFile(f.file("Updater.exe")), NetworkSetup::Result::ok);
}

TEST(UpdateFileCheck, ProgramOfAnotherNameLooksForItsOwnFile)
{
    Folder f;
    f.write("Updater.upd", "KVR700X2");
    EXPECT_EQ(checkFile(f.file("Other.exe")), NetworkSetup::Result::noUpdateFile);
}

TEST(UpdateFileCheck, FolderNamedLikeTheUpdateFileFails)
{
    Folder f;
    ASSERT_TRUE(f.file("Updater.upd").createDirectory());
    EXPECT_EQ(checkFile(f.file("Updater.exe")), NetworkSetup::Result::noUpdateFile);
}

TEST(UpdateFileCheck, WrongTagsFail)
{
    Folder f;
    for (const char* content :
         {"kvr700x2 rest", "KVR700x2 rest", "XKVR700X2 rest", "KVR700X3", "KVR700X", "K", ""})
    {
        f.write("Updater.upd", content);
        EXPECT_EQ(checkFile(f.file("Updater.exe")), NetworkSetup::Result::noUpdateFile)
            << "content \"" << content << "\"";
    }
}

TEST(UpdateFileCheck, MissingFileFailsAndSkipsTheInterfaceListing)
{
    Folder f;
    FakeQuery query({loopback, entry(ip(192, 168, 1, 10), ip(255, 255, 255, 0))});
    NetworkSetup setup(f.file("Updater.exe"), query);
    EXPECT_EQ(setup.getResult(), NetworkSetup::Result::noUpdateFile);
    EXPECT_EQ(query.calls, 0);
    EXPECT_EQ(setup.getNumAddresses(), 0);
}

TEST(UpdateFileCheck, ExtensionIsReplacedInTheFileNameOnly)
{
    Folder f;
    f.write("my.tool.upd", "KVR700X2");
    f.write("plain.upd", "KVR700X2");
    EXPECT_EQ(checkFile(f.file("my.tool.exe")), NetworkSetup::Result::ok);
    EXPECT_EQ(checkFile(f.file("plain")), NetworkSetup::Result::ok);
    EXPECT_EQ(UpdateFile::besideProgram(f.file("my.tool.exe")), f.file("my.tool.upd"));
    EXPECT_EQ(UpdateFile::besideProgram(f.file("plain")), f.file("plain.upd"));

    ASSERT_TRUE(f.file("dotted.dir").createDirectory());
    EXPECT_EQ(UpdateFile::besideProgram(f.dir.getChildFile("dotted.dir/prog")),
              f.dir.getChildFile("dotted.dir/prog.upd"));
}

// A file without read permission. Root reads every file, so as root the check
// runs on a thread whose file-system user is nobody: the system then takes
// from that thread alone the right to pass over permissions.
TEST(UpdateFileCheck, UnreadableFileFails)
{
    Folder f;
    f.write("Updater.upd", "KVR700X2");
    ASSERT_EQ(::chmod(f.file("Updater.upd").getFullPathName().toRawUTF8(), 0), 0);
    NetworkSetup::Result result = NetworkSetup::Result::ok;
    std::thread(
        [&]
        {
            const bool root = ::geteuid() == 0;
            if (root)
                ::setfsuid(65534);
            if (!root || ::setfsuid(static_cast<uid_t>(-1)) == 65534)
                result = checkFile(f.file("Updater.exe"));
            if (root)
                ::setfsuid(0);
        })
        .join();
    EXPECT_EQ(result, NetworkSetup::Result::noUpdateFile);
}

// Opening a pipe for reading would wait for a writer for ever.
TEST(UpdateFileCheck, PipeInPlaceOfTheFileFailsWithoutWaiting)
{
    Folder f;
    ASSERT_EQ(::mkfifo(f.file("Updater.upd").getFullPathName().toRawUTF8(), 0600), 0);
    EXPECT_EQ(checkFile(f.file("Updater.exe")), NetworkSetup::Result::noUpdateFile);
}

// A file whose size the stream's 32-bit length cannot announce is refused
// without being read, and the check never holds the file in memory.
TEST(UpdateFileCheck, FilesOfFourGibibytesOrMoreFailWithoutBeingRead)
{
    Folder f;
    for (const juce::int64 size : {0x100000000LL, 5LL * 1024 * 1024 * 1024})
    {
        const juce::File upd = f.file("Updater.upd");
        upd.deleteFile();
        {
            juce::FileOutputStream out(upd);
            ASSERT_TRUE(out.openedOk());
            out.write("KVR700X2", 8);
        }
        ASSERT_EQ(::truncate(upd.getFullPathName().toRawUTF8(), size), 0);
        ASSERT_EQ(upd.getSize(), size);

        // Cap the address space well below the file's size: reading the file
        // into memory would fail here instead of passing. The cap counts from
        // what the process maps already (the sanitizers' shadow is terabytes),
        // so that the check's own small allocations still find room.
        const juce::int64 mapped =
            juce::File("/proc/self/statm").loadFileAsString().getLargeIntValue() * ::getpagesize();
        ASSERT_GT(mapped, 0);
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_AS, &old), 0);
        rlimit capped = old;
        capped.rlim_cur = static_cast<rlim_t>(mapped) + 1024ull * 1024 * 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_AS, &capped), 0);
        const NetworkSetup::Result result = checkFile(f.file("Updater.exe"));
        ::setrlimit(RLIMIT_AS, &old);

        EXPECT_EQ(result, NetworkSetup::Result::noUpdateFile) << "size " << size;
    }
}

// A file twice the size of the room left passes, read in blocks under a small
// address-space cap (the file is sparse, so it costs no disk). Its SHA-256
// is taken as it is read, so the size is kept modest for the checked builds.
TEST(UpdateFileCheck, LargeFileIsCheckedInConstantMemory)
{
    Folder f;
    const juce::File upd = f.file("Updater.upd");
    {
        juce::FileOutputStream out(upd);
        ASSERT_TRUE(out.openedOk());
        out.write("KVR700X2", 8);
    }
    const juce::int64 size = 256LL * 1024 * 1024;
    ASSERT_EQ(::truncate(upd.getFullPathName().toRawUTF8(), size), 0);

    // Room for what the process already maps and 128 MiB more: far less than the file.
    const juce::int64 mapped =
        juce::File("/proc/self/statm").loadFileAsString().getLargeIntValue() * ::getpagesize();
    ASSERT_GT(mapped, 0);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &old), 0);
    rlimit capped = old;
    capped.rlim_cur = static_cast<rlim_t>(mapped) + 128ull * 1024 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &capped), 0);
    const NetworkSetup::Result result = checkFile(f.file("Updater.exe"));
    ::setrlimit(RLIMIT_AS, &old);

    EXPECT_EQ(result, NetworkSetup::Result::ok);
}

// A stop request is looked at between the blocks read: the check of a file of
// the largest size ends after the fourth, and nothing is listed.
TEST(UpdateFileCheck, StopRequestEndsTheCheckOfALargeFileBetweenBlocks)
{
    Folder f;
    f.write("Updater.upd", "KVR700X2");
    ASSERT_EQ(::truncate(f.file("Updater.upd").getFullPathName().toRawUTF8(), 0xFFFFFFFFLL), 0);
    FakeQuery query({loopback, entry(ip(192, 168, 1, 10), ip(255, 255, 255, 0))});
    int asked = 0;
    NetworkSetup setup(f.file("Updater.exe"), query, [&] { return ++asked == 4; });
    EXPECT_EQ(setup.getResult(), NetworkSetup::Result::noUpdateFile);
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(query.calls, 0);
}

// ---- The interface list ------------------------------------------------------------------

class InterfaceListing : public ::testing::Test
{
protected:
    void SetUp() override { f.write("Updater.upd", "KVR700X2"); }

    NetworkSetup build(FakeQuery& query) { return NetworkSetup(f.file("Updater.exe"), query); }

    Folder f;
};

TEST_F(InterfaceListing, LoopbackOnlyGivesNineAndEmptyLists)
{
    FakeQuery query({loopback});
    const NetworkSetup setup = build(query);
    EXPECT_EQ(setup.getResult(), NetworkSetup::Result::onlyLoopback);
    EXPECT_EQ(setup.getNumAddresses(), 0);
}

TEST_F(InterfaceListing, EmptyListGivesNine)
{
    FakeQuery query({});
    EXPECT_EQ(build(query).getResult(), NetworkSetup::Result::onlyLoopback);
}

TEST_F(InterfaceListing, OneAdapterBesideLoopback)
{
    FakeQuery query({loopback, entry(ip(192, 168, 1, 10), ip(255, 255, 255, 0))});
    const NetworkSetup setup = build(query);
    EXPECT_EQ(setup.getResult(), NetworkSetup::Result::ok);
    EXPECT_EQ(lists(setup), (std::vector<std::pair<juce::String, juce::String>>{
                                {"192.168.1.10", "192.168.1.255"}}));
}

TEST_F(InterfaceListing, AdaptersKeepThePlatformsOrder)
{
    FakeQuery query({entry(ip(192, 168, 1, 10), ip(255, 255, 255, 0)), loopback,
                     entry(ip(10, 0, 0, 5), ip(255, 0, 0, 0)),
                     entry(ip(169, 254, 7, 9), ip(255, 255, 0, 0))});
    const NetworkSetup setup = build(query);
    EXPECT_EQ(setup.getResult(), NetworkSetup::Result::ok);
    EXPECT_EQ(lists(setup), (std::vector<std::pair<juce::String, juce::String>>{
                                {"192.168.1.10", "192.168.1.255"},
                                {"10.0.0.5", "10.255.255.255"},
                                {"169.254.7.9", "169.254.255.255"}}));
}

TEST_F(InterfaceListing, OnlyExactlyOneTwentySevenZeroZeroOneIsLeftOut)
{
    FakeQuery query({loopback, entry(ip(127, 0, 0, 2), ip(255, 0, 0, 0)),
                     entry(ip(0, 0, 0, 0), ip(0, 0, 0, 0))});
    const NetworkSetup setup = build(query);
    EXPECT_EQ(setup.getResult(), NetworkSetup::Result::ok);
    EXPECT_EQ(lists(setup), (std::vector<std::pair<juce::String, juce::String>>{
                                {"127.0.0.2", "127.255.255.255"}, {"0.0.0.0", "255.255.255.255"}}));
}

TEST_F(InterfaceListing, HostNetmaskBroadcastsToTheAddressItself)
{
    FakeQuery query({entry(ip(203, 0, 113, 7), ip(255, 255, 255, 255))});
    const NetworkSetup setup = build(query);
    EXPECT_EQ(lists(setup),
              (std::vector<std::pair<juce::String, juce::String>>{{"203.0.113.7", "203.0.113.7"}}));
}

// A computer with many addresses (virtual adapters, VPNs) is not limited to
// the 20 of the platform's first answer.
TEST_F(InterfaceListing, MoreThanTwentyEntriesAreAllListed)
{
    std::vector<InterfaceQuery::Entry> entries{loopback};
    for (unsigned i = 1; i <= 40; ++i)
        entries.push_back(entry(ip(198, 51, 100, i), ip(255, 255, 255, 0)));

    FakeQuery many(entries);
    const NetworkSetup all = build(many);
    EXPECT_EQ(all.getResult(), NetworkSetup::Result::ok);
    ASSERT_EQ(all.getNumAddresses(), 40);
    EXPECT_EQ(all.getAddress(39), "198.51.100.40");
}

TEST_F(InterfaceListing, QueryFailuresGiveFiveAndSix)
{
    FakeQuery cannotOpen({loopback}, InterfaceQuery::Outcome::cannotOpen);
    const NetworkSetup five = build(cannotOpen);
    EXPECT_EQ(five.getResult(), NetworkSetup::Result::noNetworking);
    EXPECT_EQ(five.getNumAddresses(), 0);

    FakeQuery cannotList({loopback}, InterfaceQuery::Outcome::cannotList);
    const NetworkSetup six = build(cannotList);
    EXPECT_EQ(six.getResult(), NetworkSetup::Result::noInterfaceList);
    EXPECT_EQ(six.getNumAddresses(), 0);
}

TEST_F(InterfaceListing, IndexOutsideTheListIsRejected)
{
    FakeQuery query({entry(ip(192, 168, 1, 10), ip(255, 255, 255, 0))});
    const NetworkSetup setup = build(query);
    ASSERT_EQ(setup.getNumAddresses(), 1);
    EXPECT_THROW(setup.getAddress(1), std::out_of_range);
    EXPECT_THROW(setup.getAddress(-1), std::out_of_range);
    EXPECT_THROW(setup.getBroadcastAddress(1), std::out_of_range);
    EXPECT_THROW(setup.getBroadcastAddress(-1), std::out_of_range);
    EXPECT_NO_THROW(setup.getBroadcastAddress(0));
}
