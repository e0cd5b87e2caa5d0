// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"
#include "app/ProgramVersion.h"
#include "app/linux/DisplayCheck.h"
#include "net/DiagnosticLog.h"

#include <cstdio>

JUCE_CREATE_APPLICATION_DEFINE(Application)

// The process entry: asked for its version, it prints it on standard output
// and ends with exit code 0, display or not. Without a display it says so on
// standard error and ends with exit code 1 before anything of the window is
// built; otherwise it hands a new Application to the framework's main loop and
// returns its result.
int main(int argc, char* argv[])
{
    if (ProgramVersion::isAskedFor(juce::StringArray(argv + 1, argc - 1)))
    {
        std::puts(ProgramVersion::text().toRawUTF8());
        return 0;
    }

    const juce::String problem = DisplayCheck::problem();
    if (problem.isNotEmpty())
    {
        DiagnosticLog::line(problem);
        return 1;
    }

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
}
