// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"
#include "app/ConsoleRun.h"
#include "app/ProgramVersion.h"
#include "app/windows/ParentConsole.h"

#include <cstdio>

JUCE_CREATE_APPLICATION_DEFINE(Application)

// The process entry: asked for its version, the program prints it on standard
// output (in the console it was started from, unless that is redirected) and
// ends with exit code 0 without a window. Asked for the console run (or its
// help), it runs that in the console it was started from and returns its exit
// code; the console twin, KVR516_UPDATE.com, has a console of its own, for
// which cmd and PowerShell wait. Otherwise, started from a console,
// it writes its diagnostic lines there unless standard error is redirected;
// then it hands a new Application to the framework's main loop and returns
// its result as the exit code.
extern "C" JUCE_MAIN_FUNCTION
{
    const juce::StringArray arguments = juce::JUCEApplicationBase::getCommandLineParameterArray();
    if (ProgramVersion::isAskedFor(arguments))
    {
        ParentConsole::attachForStandardOutput();
        std::puts(ProgramVersion::text().toRawUTF8());
        std::fflush(stdout);
        return 0;
    }
    if (ConsoleRun::isAskedFor(arguments))
    {
        ParentConsole::attachForStandardOutput();
        ParentConsole::attachForStandardError();
        return ConsoleRun::run(arguments);
    }

    ParentConsole::attachForStandardError();
    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main(JUCE_MAIN_FUNCTION_ARGS);
}
