// KVR516_UPDATE, GPL-3.0-or-later.
// The table reader on entries that are not well-formed UTF-8: each stray byte
// becomes U+FFFD, the well-formed text around it stays, and nothing is read or
// written outside a buffer (the sanitizer builds watch that).
#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
juce::String firstEntry(const std::string& entry)
{
    const std::string table = ":STR\r\n" + entry + "\r\n:EOF\r\n";
    juce::String slot("-");
    TxtLoader::loadSection({table.data(), static_cast<juce::uint32>(table.size())},
                           TxtLoader::Section::str, &slot, 1);
    return slot;
}

juce::String codePoints(std::initializer_list<juce::juce_wchar> chars)
{
    std::vector<juce::juce_wchar> text(chars);
    text.push_back(0);
    return juce::String(juce::CharPointer_UTF32(text.data()));
}
} // namespace

TEST(TxtLoaderBadBytes, StrayBytesBecomeReplacementCharacters)
{
    EXPECT_EQ(firstEntry("\"a\xFF\xFF\xFFL\""), codePoints({'a', 0xFFFD, 0xFFFD, 0xFFFD, 'L'}));
    EXPECT_EQ(firstEntry("\"\x80x\""), codePoints({0xFFFD, 'x'}));
}

TEST(TxtLoaderBadBytes, CutAndOverlongSequencesAreReplacedByteByByte)
{
    // A three-byte lead with one continuation, then a letter.
    EXPECT_EQ(firstEntry("\"\xE6\x97z\""), codePoints({0xFFFD, 0xFFFD, 'z'}));
    // An overlong "/" and an overlong zero.
    EXPECT_EQ(firstEntry("\"\xC0\xAF\xC0\x80\""), codePoints({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}));
    // A surrogate and a value past U+10FFFF.
    EXPECT_EQ(firstEntry("\"\xED\xA0\x80\xF4\x90\x80\x80\""),
              codePoints({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}));
}

TEST(TxtLoaderBadBytes, WellFormedTextIsKept)
{
    // "日本語" and U+1F600 beside a stray byte.
    EXPECT_EQ(firstEntry("\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xFE\xF0\x9F\x98\x80\""),
              codePoints({0x65E5, 0x672C, 0x8A9E, 0xFFFD, 0x1F600}));
}

TEST(TxtLoaderBadBytes, LongLineOfStrayBytesStaysInsideItsBuffers)
{
    const std::string entry = "\"" + std::string(3000, '\xFF') + "\"";
    const juce::String text = firstEntry(entry);
    // The line is cut to 2047 bytes, of which the first is the quote.
    EXPECT_EQ(text.length(), 2046);
    EXPECT_EQ(text[0], static_cast<juce::juce_wchar>(0xFFFD));
}
