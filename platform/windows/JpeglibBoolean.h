// KVR516_UPDATE, GPL-3.0-or-later.
//
// Read before JUCE's graphics module in the Windows build. libjpeg's jconfig.h
// for Windows declares its boolean type (unsigned char) only when windows.h
// has not declared it yet; JUCE reads jpeglib.h inside a namespace of its own,
// after windows.h, and so finds no boolean there. The same type is given here.
#pragma once

namespace juce
{
namespace jpeglibNamespace
{
typedef unsigned char boolean;
}
} // namespace juce
