// KVR516_UPDATE, GPL-3.0-or-later.
//
// Writes the program's window icon as a PNG file, for the desktop launcher of
// the portable archive: the same picture the window shows. A name ending in
// .ico gives a Windows icon file instead, for the executable's icon resource:
// one image at 24 bits per pixel, its transparent parts in the icon's mask.
//
//   kvr_icon_export FILE.png|FILE.ico [SIZE]

#include "app/AppIcon.h"

#include <juce_graphics/juce_graphics.h>

#include <cstdio>

namespace
{
// An icon file (ICONDIR, one ICONDIRENTRY, then a BITMAPINFOHEADER with the
// doubled height of colour and mask, the colour rows bottom-up at 24 bits per
// pixel and the 1-bit mask rows, each row padded to 4 bytes). Edge pixels
// are blended over the window's grey; those mostly transparent are masked.
bool writeIcon(const juce::Image& image, juce::OutputStream& out)
{
    const int size = image.getWidth();
    if (size > 256)
        return false;

    const int colourRow = (size * 3 + 3) & ~3;
    const int maskRow = ((size + 31) / 32) * 4;
    const int bitmapBytes = 40 + (colourRow + maskRow) * size;

    out.writeShort(0); // reserved
    out.writeShort(1); // an icon
    out.writeShort(1); // one image
    out.writeByte(static_cast<char>(size == 256 ? 0 : size));
    out.writeByte(static_cast<char>(size == 256 ? 0 : size));
    out.writeByte(0); // no palette
    out.writeByte(0);
    out.writeShort(1);  // planes
    out.writeShort(24); // bits per pixel
    out.writeInt(bitmapBytes);
    out.writeInt(6 + 16); // where the image starts

    out.writeInt(40);
    out.writeInt(size);
    out.writeInt(size * 2);
    out.writeShort(1);
    out.writeShort(24);
    out.writeInt(0); // uncompressed
    out.writeInt((colourRow + maskRow) * size);
    out.writeInt(0);
    out.writeInt(0);
    out.writeInt(0);
    out.writeInt(0);

    const juce::Colour background(0xFFD3D3D3);
    juce::MemoryBlock row(static_cast<size_t>(colourRow), true);
    for (int y = size - 1; y >= 0; --y)
    {
        auto* bytes = static_cast<juce::uint8*>(row.getData());
        for (int x = 0; x < size; ++x)
        {
            const auto pixel = background.overlaidWith(image.getPixelAt(x, y));
            bytes[x * 3] = pixel.getBlue();
            bytes[x * 3 + 1] = pixel.getGreen();
            bytes[x * 3 + 2] = pixel.getRed();
        }
        out.write(row.getData(), row.getSize());
    }

    juce::MemoryBlock mask(static_cast<size_t>(maskRow), true);
    for (int y = size - 1; y >= 0; --y)
    {
        mask.fillWith(0);
        auto* bits = static_cast<juce::uint8*>(mask.getData());
        for (int x = 0; x < size; ++x)
            if (image.getPixelAt(x, y).getAlpha() < 128)
                bits[x / 8] |= static_cast<juce::uint8>(0x80 >> (x % 8));
        out.write(mask.getData(), mask.getSize());
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: kvr_icon_export FILE.png [SIZE]\n");
        return 2;
    }
    const int size = argc > 2 ? juce::jlimit(16, 1024, juce::String(argv[2]).getIntValue()) : 256;
    const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    file.deleteFile();
    juce::FileOutputStream out(file);
    juce::PNGImageFormat png;
    const auto image = AppIcon::create(size);
    const bool written =
        file.hasFileExtension("ico") ? writeIcon(image, out) : png.writeImageToStream(image, out);
    if (out.failedToOpen() || !written)
    {
        std::fprintf(stderr, "cannot write %s\n", file.getFullPathName().toRawUTF8());
        return 1;
    }
    return 0;
}
