// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/DisplayCheck.h"

#include <X11/Xlib.h>

#include <cstdlib>

juce::String DisplayCheck::problem()
{
    const char* name = std::getenv("DISPLAY");
    if (name != nullptr && *name != '\0')
    {
        // The same connection JUCE makes, opened and closed at once.
        if (Display* display = XOpenDisplay(nullptr))
        {
            XCloseDisplay(display);
            return {};
        }
    }

    const juce::String missing = name == nullptr || *name == '\0'
                                     ? juce::String("no display: DISPLAY is not set")
                                     : "cannot open the display " + juce::String(name).quoted() +
                                           " (not running, or no permission to use it)";
    return missing + "; start the program from a desktop session, or with sudo keep the display: "
                     "sudo -E or sudo --preserve-env=DISPLAY,XAUTHORITY";
}
