// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/linux/DisplayCheck.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// Opens the display as JUCE does. The X libraries print the server's reason
// for refusing a connection ("Authorization required, ...") on standard
// error themselves; it is held back, so that the program's line is the only
// one. Runs before any thread of the program exists.
bool displayOpens()
{
    const int savedError = ::dup(STDERR_FILENO);
    const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (savedError >= 0 && nothing >= 0)
        ::dup2(nothing, STDERR_FILENO);

    Display* display = XOpenDisplay(nullptr);
    if (display != nullptr)
        XCloseDisplay(display);

    if (savedError >= 0 && nothing >= 0)
        ::dup2(savedError, STDERR_FILENO);
    if (nothing >= 0)
        ::close(nothing);
    if (savedError >= 0)
        ::close(savedError);
    return display != nullptr;
}
} // namespace

juce::String DisplayCheck::problem()
{
    const char* name = std::getenv("DISPLAY");
    if (name != nullptr && *name != '\0')
    {
        if (displayOpens())
            return {};
    }

    const juce::String missing = name == nullptr || *name == '\0'
                                     ? juce::String("no display: DISPLAY is not set")
                                     : "cannot open the display " + juce::String(name).quoted() +
                                           " (not running, or no permission to use it)";
    return missing + "; start the program from a desktop session, or with sudo keep the display: "
                     "sudo -E or sudo --preserve-env=DISPLAY,XAUTHORITY";
}
