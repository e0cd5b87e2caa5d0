// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/FixedSizeHints.h"

// Windows keeps the frame of a window that is not resizable as it is; there
// is nothing to add.
bool FixedSizeHints::apply(juce::ComponentPeer&)
{
    return true;
}
