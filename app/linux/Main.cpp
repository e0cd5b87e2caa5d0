// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"
#include "app/ConsoleRun.h"
#include "app/ProgramVersion.h"
#include "app/linux/DisplayCheck.h"
#include "record/DiagnosticLog.h"

#include <csignal>
#include <cstdio>

JUCE_CREATE_APPLICATION_DEFINE(Application)

// The process entry: asked for its version, it prints it on standard output
// and ends with exit code 0, display or not. Asked for the console run (or its
// help), it runs that and returns its exit code, without ever opening the
// display. Otherwise, without a display it says so on
// standard error and ends with exit code 1 before anything of the window is
// built; otherwise it hands a new Application to the framework's main loop and
// returns its result.
int main(int argc, char* argv[])
{
    // A write to a connection or a pipe whose reader has gone (the mixer's
    // reset, standard error piped into a program that ended) is an error its
    // writer sees and handles, never the end of the process. The sends of the
    // network threads ask for that themselves; this covers every other write,
    // the framework's included, from the first on.
    std::signal(SIGPIPE, SIG_IGN);

    const juce::StringArray arguments(argv + 1, argc - 1);
    if (ProgramVersion::isAskedFor(arguments))
    {
        std::puts(ProgramVersion::text().toRawUTF8());
        return 0;
    }
    if (ConsoleRun::isAskedFor(arguments))
        return ConsoleRun::run(arguments);

    const juce::String problem = DisplayCheck::problem();
    if (problem.isNotEmpty())
    {
        DiagnosticLog::line(problem);
        return 1;
    }

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
}
