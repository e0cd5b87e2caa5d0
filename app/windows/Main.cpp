// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/ConsoleRun.h"
#include "app/ProgramVersion.h"
#include "app/ReportAndRetry.h"
#include "app/windows/ParentConsole.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

namespace
{
// The window's options, and the mixers of a second try (--retry).
CommandLine::Settings windowSettings;
RetryList::List windowRetry;

juce::JUCEApplicationBase* createApplication()
{
    return new Application(windowSettings, windowRetry);
}

// The arguments after the program's name, in UTF-16 as Windows keeps them
// (the C library's char arguments of the console twin are in the ANSI code
// page, which cannot hold every file name), split by the system's own rules.
juce::StringArray arguments()
{
    juce::StringArray result;
    int count = 0;
    if (LPWSTR* values = CommandLineToArgvW(GetCommandLineW(), &count))
    {
        for (int i = 1; i < count; ++i)
            result.add(juce::String(juce::CharPointer_UTF16(
                reinterpret_cast<const juce::CharPointer_UTF16::CharType*>(values[i]))));
        LocalFree(values);
    }
    return result;
}
} // namespace

// The process entry: asked for its version, the program prints it on standard
// output (in the console it was started from, unless that is redirected) and
// ends with exit code 0 without a window. Asked for the console run (or its
// help), it runs that in the console it was started from and returns its exit
// code; the console twin, KVR516_UPDATE.com, has a console of its own, for
// which cmd and PowerShell wait. Otherwise, started from a console,
// it writes its diagnostic lines there unless standard error is redirected;
// arguments the window does not take end it with exit code 1 and the reason
// there, as do a report to try again (--retry) that is none and a report
// (--report) that cannot be written; a report with nothing to try again is
// said on standard output and ends it with 0. Then it hands a new
// Application to the framework's main loop and returns its result as the
// exit code.
extern "C" JUCE_MAIN_FUNCTION
{
    const juce::StringArray arguments = ::arguments();
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
    const CommandLine::Settings settings = CommandLine::parse(arguments);
    if (settings.error.isNotEmpty())
    {
        ConsoleRun::refuse(settings.error);
        return 1;
    }
    windowSettings = settings;
    const ReportAndRetry::Prepared prepared = ReportAndRetry::prepare(windowSettings, true);
    if (prepared.refusal.isNotEmpty())
    {
        ConsoleRun::refuse(prepared.refusal);
        return 1;
    }
    if (prepared.nothingToTryAgain)
    {
        ParentConsole::attachForStandardOutput();
        ConsoleRun::sayNothingToTryAgain();
        std::fflush(stdout);
        return 0;
    }
    windowRetry = prepared.retry;
    juce::JUCEApplicationBase::createInstance = &createApplication;
    return juce::JUCEApplicationBase::main(JUCE_MAIN_FUNCTION_ARGS);
}
