// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/SystemVersion.h"

#include <sys/utsname.h>

namespace
{
// The distribution's own name for itself (PRETTY_NAME of os-release), or
// empty where it has none.
juce::String distribution()
{
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"})
    {
        juce::StringArray lines;
        juce::File(path).readLines(lines);
        for (const juce::String& line : lines)
            if (line.startsWith("PRETTY_NAME="))
                return line.fromFirstOccurrenceOf("=", false, false).unquoted();
    }
    return {};
}
} // namespace

juce::String SystemVersion::text()
{
    struct utsname names
    {
    };
    juce::String text = "Linux";
    if (::uname(&names) == 0)
        text = juce::String(names.sysname) + " " + juce::String(names.release) + " " +
               juce::String(names.machine);
    const juce::String name = distribution();
    return name.isEmpty() ? text : text + ", " + name;
}
