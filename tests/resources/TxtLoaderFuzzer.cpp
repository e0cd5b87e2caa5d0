// KVR516_UPDATE, GPL-3.0-or-later.
//
// libFuzzer target: the text-table reader over arbitrary table bytes. Every
// section is read into slots fenced by guards, and the entry decoder runs on
// every line of the input. A read or write outside a buffer is the sanitizers'
// to report; the checks below catch what they cannot see.
#include "resources/TxtLoader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
void check(bool condition)
{
    if (!condition)
        std::abort();
}

void readSection(const EmbeddedData& table, TxtLoader::Section section, int capacity)
{
    // One slot on either side of the capacity that the reader may use.
    const juce::String guard("guard");
    std::vector<juce::String> slots(static_cast<std::size_t>(capacity) + 2, guard);
    TxtLoader::loadSection(table, section, slots.data() + 1, capacity);
    check(slots.front() == guard && slots.back() == guard);
    if (section == TxtLoader::Section::none)
    {
        for (const auto& slot : slots)
            check(slot == guard);
    }
}

void decodeLine(const char* begin, std::size_t length)
{
    // The reader hands the decoder lines of at most lineBufferSize - 1 bytes.
    length = length < TxtLoader::lineBufferSize - 1 ? length : TxtLoader::lineBufferSize - 1;
    std::vector<char> line(begin, begin + length);
    line.push_back('\0');
    std::vector<char> output(TxtLoader::lineBufferSize, '\x7f');
    TxtLoader::unescapeEntry(line.data(), output.data());
    // Decoding never lengthens a line.
    check(std::strlen(output.data()) <= std::strlen(line.data()));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;

    // Compiled-in tables are followed by one zero byte that the size leaves out.
    std::vector<char> bytes(data, data + size);
    bytes.push_back('\0');
    const EmbeddedData table{bytes.data(), static_cast<juce::uint32>(size)};

    readSection(table, TxtLoader::Section::str, TxtLoader::stringCount);
    readSection(table, TxtLoader::Section::fontWin, static_cast<int>(languageTables.size()));
    readSection(table, TxtLoader::Section::lang, static_cast<int>(languageTables.size()));
    readSection(table, TxtLoader::Section::none, 1);
    readSection(table, TxtLoader::Section::str, 0);

    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i)
    {
        if (i == size || bytes[i] == '\n' || bytes[i] == '\r' || bytes[i] == '\0')
        {
            decodeLine(bytes.data() + start, i - start);
            start = i + 1;
        }
    }
    return 0;
}
