// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/ProgramVersion.h"

// KVR_COMMIT comes from the build (app/CMakeLists.txt).
juce::String ProgramVersion::text()
{
    return juce::String(JUCE_APPLICATION_NAME_STRING) + " " + JUCE_APPLICATION_VERSION_STRING +
           " (commit " + commit() + ")";
}

juce::String ProgramVersion::commit()
{
    return KVR_COMMIT;
}

bool ProgramVersion::isAskedFor(const juce::StringArray& arguments)
{
    return arguments.size() > 0 && arguments[0] == "--version";
}
