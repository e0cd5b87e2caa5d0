// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"
#include "app/linux/DisplayCheck.h"
#include "net/DiagnosticLog.h"

JUCE_CREATE_APPLICATION_DEFINE(Application)

// The process entry: without a display it says so on standard error and ends
// with exit code 1 before anything of the window is built; otherwise it hands
// a new Application to the framework's main loop and returns its result.
int main(int argc, char* argv[])
{
    const juce::String problem = DisplayCheck::problem();
    if (problem.isNotEmpty())
    {
        DiagnosticLog::line(problem);
        return 1;
    }

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
}
