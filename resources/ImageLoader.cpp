// KVR516_UPDATE, GPL-3.0-or-later.
#include "resources/ImageLoader.h"

#include <cstring>
#include <limits>

namespace
{
ImageLoader* instance = nullptr;
const EmbeddedData* imageSource = nullptr;

constexpr std::size_t bitmapPixelOffset = 54;

juce::uint32 littleEndian32(const unsigned char* p)
{
    return static_cast<juce::uint32>(p[0]) | (static_cast<juce::uint32>(p[1]) << 8) |
           (static_cast<juce::uint32>(p[2]) << 16) | (static_cast<juce::uint32>(p[3]) << 24);
}

// A bitmap read as its header describes it, or a null image when the bytes
// are not one the reader accepts or are too few for the rows they announce.
juce::Image readBitmap(const EmbeddedData& entry)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(entry.data);
    const std::size_t size = entry.size;

    if (bytes == nullptr || size < bitmapPixelOffset || bytes[0] != 'B' || bytes[1] != 'M')
        return {};

    const unsigned bitsPerPixel = static_cast<unsigned>(bytes[28] | (bytes[29] << 8));
    const auto width = static_cast<juce::int32>(littleEndian32(bytes + 18));
    const auto height = static_cast<juce::int32>(littleEndian32(bytes + 22));

    if ((bitsPerPixel != 24 && bitsPerPixel != 32) || width <= 0 || height <= 0)
        return {};

    const std::size_t bytesPerPixel = bitsPerPixel / 8;
    const std::size_t pixelBytes = bytesPerPixel * static_cast<std::size_t>(width);
    const std::size_t rowBytes = (pixelBytes + 3) & ~std::size_t{3};

    if ((size - bitmapPixelOffset) / rowBytes < static_cast<std::size_t>(height))
        return {};

    // JUCE keeps RGB pixels as B, G, R and ARGB pixels as B, G, R, A in
    // memory, the order of the bitmap's rows: they are copied unchanged.
    juce::Image image(bitsPerPixel == 24 ? juce::Image::RGB : juce::Image::ARGB, width, height,
                      true);
    const unsigned char* row = bytes + bitmapPixelOffset;

    for (int y = height - 1; y >= 0; --y, row += rowBytes)
    {
        juce::Image::BitmapData pixels(image, 0, y, width, 1, juce::Image::BitmapData::writeOnly);
        jassert(static_cast<std::size_t>(pixels.pixelStride) == bytesPerPixel);
        std::memcpy(pixels.getLinePointer(0), row, pixelBytes);
    }

    return image;
}
} // namespace

ImageLoader* ImageLoader::getInstance()
{
    if (instance == nullptr)
        instance = new ImageLoader();
    return instance;
}

void ImageLoader::deleteInstance()
{
    delete instance;
    instance = nullptr;
}

void ImageLoader::setImageSource(const EmbeddedData* entries)
{
    imageSource = entries;
}

ImageLoader::ImageLoader()
{
    const EmbeddedData& logo = imageSource != nullptr ? imageSource[0] : imageTable[0];
    auto image = loadImage(logo);

    if (image.isValid())
        images[0] = std::make_unique<juce::Image>(image);
}

ImageLoader::~ImageLoader() = default; // the cache frees the image once unused

const juce::Image* ImageLoader::getImage(int index) const
{
    return static_cast<unsigned>(index) < 1u ? images[0].get() : nullptr;
}

juce::Image ImageLoader::loadImage(const EmbeddedData& entry)
{
    if (entry.data == nullptr || entry.size == 0 ||
        entry.size > static_cast<juce::uint32>(std::numeric_limits<int>::max()))
        return {};

    auto image = juce::ImageCache::getFromMemory(entry.data, static_cast<int>(entry.size));

    if (image.isNull())
    {
        image = readBitmap(entry);

        // Kept under the address of the entry's bytes, as a decoded image is.
        if (image.isValid())
            juce::ImageCache::addImageToCache(
                image,
                static_cast<juce::int64>(reinterpret_cast<juce::pointer_sized_int>(entry.data)));
    }

    return image;
}
