// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/ConsoleRun.h"
#include "app/ProgramVersion.h"
#include "app/ReportAndRetry.h"
#include "app/linux/DisplayCheck.h"
#include "record/DiagnosticLog.h"

#include <csignal>
#include <cstdio>
#include <cstring>

namespace
{
// The window's options, and the mixers of a second try (--retry).
CommandLine::Settings windowSettings;
RetryList::List windowRetry;

juce::JUCEApplicationBase* createApplication()
{
    return new Application(windowSettings, windowRetry);
}

// The window quits on SIGTERM and SIGHUP as on an interrupt: the framework's
// handler of SIGINT, which raise calls (it is safe in a handler), asks the
// application to quit; the window then cancels its stage.
extern "C" void quitAsOnInterrupt(int)
{
    std::raise(SIGINT);
}
} // namespace

// The process entry: asked for its version, it prints it on standard output
// and ends with exit code 0, display or not. Asked for the console run (or its
// help), it runs that and returns its exit code, without ever opening the
// display. Otherwise the arguments are the window's: those it does not take
// end the process with exit code 1 and the reason on standard error, as do a
// report to try again (--retry) that is none and a report (--report) that
// cannot be written, while a report with nothing to try again is said on
// standard output and ends it with 0; without
// a display it says so on standard error and ends with exit code 1 before
// anything of the window is built; otherwise it hands a new Application to
// the framework's main loop and returns its result. The arguments are UTF-8,
// as the system's file names are.
int main(int argc, char* argv[])
{
    // A write to a connection or a pipe whose reader has gone (the mixer's
    // reset, standard error piped into a program that ended) is an error its
    // writer sees and handles, never the end of the process. The sends of the
    // network threads ask for that themselves; this covers every other write,
    // the framework's included, from the first on.
    std::signal(SIGPIPE, SIG_IGN);

    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
    {
        if (!juce::CharPointer_UTF8::isValidString(argv[i], static_cast<int>(std::strlen(argv[i]))))
        {
            ConsoleRun::refuse("an argument is not UTF-8 text");
            return 1;
        }
        arguments.add(juce::String(juce::CharPointer_UTF8(argv[i])));
    }
    if (ProgramVersion::isAskedFor(arguments))
    {
        std::puts(ProgramVersion::text().toRawUTF8());
        return 0;
    }
    if (ConsoleRun::isAskedFor(arguments))
        return ConsoleRun::run(arguments);

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
        ConsoleRun::sayNothingToTryAgain();
        return 0;
    }
    windowRetry = prepared.retry;

    const juce::String problem = DisplayCheck::problem();
    if (problem.isNotEmpty())
    {
        DiagnosticLog::line(problem);
        return 1;
    }

    struct sigaction action = {};
    action.sa_handler = quitAsOnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    juce::JUCEApplicationBase::createInstance = &createApplication;
    return juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
}
