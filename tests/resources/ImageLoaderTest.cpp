// KVR516_UPDATE, GPL-3.0-or-later.
// The logo, and the bitmap reader for entries JUCE's decoders do not read.
#include "resources/ImageLoader.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <vector>

namespace
{
void put16(std::vector<unsigned char>& bytes, std::size_t at, unsigned value)
{
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void put32(std::vector<unsigned char>& bytes, std::size_t at, juce::uint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

// A bottom-up Windows bitmap with its pixels at byte 54; rows given bottom
// row first, each already padded to a multiple of four bytes.
std::vector<unsigned char> bitmap(int width, int height, unsigned bitsPerPixel,
                                  const std::vector<unsigned char>& rows)
{
    std::vector<unsigned char> bytes(54 + rows.size(), 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 2, static_cast<juce::uint32>(54 + rows.size()));
    put32(bytes, 10, 54);
    put32(bytes, 14, 40);
    put32(bytes, 18, static_cast<juce::uint32>(width));
    put32(bytes, 22, static_cast<juce::uint32>(height));
    put16(bytes, 26, 1);
    put16(bytes, 28, bitsPerPixel);
    std::copy(rows.begin(), rows.end(), bytes.begin() + 54);
    return bytes;
}

EmbeddedData entryOf(const std::vector<unsigned char>& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<juce::uint32>(bytes.size())};
}

class ImageLoading : public ::testing::Test
{
protected:
    void TearDown() override
    {
        ImageLoader::deleteInstance();
        ImageLoader::setImageSource(nullptr);
    }
};

// 3 x 2, 24 bits: rows of 9 bytes padded to 12. Stored first (image row 1):
// red, green, blue; then (image row 0): white, black, grey.
const std::vector<unsigned char> threeByTwo =
    bitmap(3, 2, 24, {0,   0,   255, 0, 255, 0, 255, 0,   0,   0xEE, 0xEE, 0xEE,
                      255, 255, 255, 0, 0,   0, 128, 128, 128, 0xEE, 0xEE, 0xEE});
} // namespace

TEST_F(ImageLoading, LogoIsA48By48ImageWithTransparentCorners)
{
    auto* images = ImageLoader::getInstance();
    const auto* logo = images->getImage(0);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->getWidth(), 48);
    EXPECT_EQ(logo->getHeight(), 48);
    EXPECT_TRUE(logo->hasAlphaChannel());
    EXPECT_EQ(logo->getPixelAt(0, 0).getAlpha(), 0);
    EXPECT_EQ(logo->getPixelAt(24, 40).getAlpha(), 255);

    EXPECT_EQ(images->getImage(1), nullptr);
    EXPECT_EQ(images->getImage(-1), nullptr);
}

TEST_F(ImageLoading, GetInstanceDecodesOnce)
{
    auto* first = ImageLoader::getInstance();
    const auto* logo = first->getImage(0);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(ImageLoader::getInstance(), first);
    EXPECT_EQ(first->getImage(0), logo);

    // The decoded image is the cache's: asking again gives the same pixels.
    const auto again = ImageLoader::loadImage(imageTable[0]);
    EXPECT_EQ(again.getPixelData(), logo->getPixelData());
}

TEST_F(ImageLoading, BottomUpBitmapRowsArePaddedAndFlipped)
{
    const EmbeddedData entries[1] = {entryOf(threeByTwo)};
    ImageLoader::setImageSource(entries);
    const auto* image = ImageLoader::getInstance()->getImage(0);
    ASSERT_NE(image, nullptr);

    EXPECT_EQ(image->getFormat(), juce::Image::RGB);
    EXPECT_EQ(image->getWidth(), 3);
    EXPECT_EQ(image->getHeight(), 2);
    EXPECT_EQ(image->getPixelAt(0, 1), juce::Colour(255, 0, 0));
    EXPECT_EQ(image->getPixelAt(1, 1), juce::Colour(0, 255, 0));
    EXPECT_EQ(image->getPixelAt(2, 1), juce::Colour(0, 0, 255));
    EXPECT_EQ(image->getPixelAt(0, 0), juce::Colour(255, 255, 255));
    EXPECT_EQ(image->getPixelAt(1, 0), juce::Colour(0, 0, 0));
    EXPECT_EQ(image->getPixelAt(2, 0), juce::Colour(128, 128, 128));

    // Kept in JUCE's image cache like a decoded image.
    const auto cached = juce::ImageCache::getFromHashCode(
        static_cast<juce::int64>(reinterpret_cast<juce::pointer_sized_int>(entries[0].data)));
    EXPECT_EQ(cached.getPixelData(), image->getPixelData());
}

TEST_F(ImageLoading, ThirtyTwoBitBitmapKeepsItsAlpha)
{
    const auto bytes = bitmap(2, 1, 32, {10, 20, 30, 255, 0, 0, 0, 0});
    const auto image = ImageLoader::loadImage(entryOf(bytes));
    ASSERT_TRUE(image.isValid());
    EXPECT_EQ(image.getFormat(), juce::Image::ARGB);
    EXPECT_EQ(image.getPixelAt(0, 0), juce::Colour(30, 20, 10));
    EXPECT_EQ(image.getPixelAt(1, 0).getAlpha(), 0);
}

TEST_F(ImageLoading, GarbageGivesNoImage)
{
    std::vector<unsigned char> garbage(300);
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<unsigned char>((i * 37 + 11) & 0xFF);

    const EmbeddedData entries[1] = {entryOf(garbage)};
    ImageLoader::setImageSource(entries);
    auto* images = ImageLoader::getInstance();
    EXPECT_EQ(images->getImage(0), nullptr);
    EXPECT_EQ(images->getImage(1), nullptr);
}

TEST_F(ImageLoading, BitmapsTheReaderDoesNotAcceptGiveNoImage)
{
    auto sixteenBit = threeByTwo;
    put16(sixteenBit, 28, 16);
    auto noWidth = threeByTwo;
    put32(noWidth, 18, 0);
    auto topDown = threeByTwo;
    put32(topDown, 22, static_cast<juce::uint32>(-2));
    auto notBm = threeByTwo;
    notBm[1] = 'X';
    // The header announces more rows than the bytes hold.
    auto truncated = threeByTwo;
    truncated.resize(truncated.size() - 1);
    auto huge = threeByTwo;
    put32(huge, 18, 0x7FFFFFFF);
    const std::vector<unsigned char> headerOnly(threeByTwo.begin(), threeByTwo.begin() + 40);

    const std::vector<const std::vector<unsigned char>*> rejected = {
        &sixteenBit, &noWidth, &topDown, &notBm, &truncated, &huge, &headerOnly};
    for (const auto* bytes : rejected)
        EXPECT_TRUE(ImageLoader::loadImage(entryOf(*bytes)).isNull());

    EXPECT_TRUE(ImageLoader::loadImage({nullptr, 0}).isNull());
}
