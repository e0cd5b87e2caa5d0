// KVR516_UPDATE, GPL-3.0-or-later.
//
// Writes the program's window icon as a PNG file, for the desktop launcher of
// the portable archive: the same picture the window shows.
//
//   kvr_icon_export FILE.png [SIZE]

#include "app/AppIcon.h"

#include <juce_graphics/juce_graphics.h>

#include <cstdio>

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
    if (out.failedToOpen() || !png.writeImageToStream(AppIcon::create(size), out))
    {
        std::fprintf(stderr, "cannot write %s\n", file.getFullPathName().toRawUTF8());
        return 1;
    }
    return 0;
}
