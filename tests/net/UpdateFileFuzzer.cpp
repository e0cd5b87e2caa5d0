// KVR516_UPDATE, GPL-3.0-or-later.
//
// libFuzzer target: the initialise stage's update-file check over arbitrary
// file contents. The file beside a made-up program holds the input; the check
// must pass exactly when the file starts with the tag, the interface list
// must be asked for only then, and a file that passed is measured (size and
// SHA-256) over exactly its bytes.
#include "net/NetworkSetup.h"
#include "net/UpdateFile.h"

#include <juce_cryptography/juce_cryptography.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace
{
class OneInterface : public InterfaceQuery
{
public:
    Outcome listIpv4(std::vector<Entry>& entries) override
    {
        ++calls;
        entries = {{0x0A6433C6u, 0x00FFFFFFu}}; // 198.51.100.10/24, network order
        return Outcome::listed;
    }
    int calls = 0;
};

// A folder of this process's own, removed when the fuzzer ends.
struct Folder
{
    Folder() { dir.createDirectory(); }
    ~Folder() { dir.deleteRecursively(); }
    const juce::File dir = juce::File::getSpecialLocation(juce::File::tempDirectory)
                               .getChildFile("kvr-update-file-fuzz-" + juce::String(::getpid()));
};

const juce::File& folder()
{
    static const Folder f;
    return f.dir;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const juce::File program = folder().getChildFile("Updater");
    if (!program.withFileExtension(".upd").replaceWithData(data, size))
        std::abort();

    OneInterface query;
    const NetworkSetup setup(program, query);

    const bool tagged = size >= Protocol::tagSize && std::memcmp(data, Protocol::tag, 8) == 0;
    if (tagged != (setup.getResult() == NetworkSetup::Result::ok) ||
        query.calls != (tagged ? 1 : 0))
        std::abort();
    if (!tagged &&
        (setup.getResult() != NetworkSetup::Result::noUpdateFile || setup.getNumAddresses() != 0))
        std::abort();
    // A file that passed is measured over exactly its bytes (JUCE's SHA-256 as
    // a second opinion on the system's).
    const UpdateFile::Measure& measured = setup.getUpdateFile();
    const juce::MemoryBlock reference = juce::SHA256(data, size).getRawData();
    if (tagged && (measured.size != static_cast<juce::int64>(size) ||
                   std::memcmp(measured.hash.data(), reference.getData(), 32) != 0))
        std::abort();
    return 0;
}
