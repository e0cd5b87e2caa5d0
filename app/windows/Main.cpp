// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"
#include "app/windows/ParentConsole.h"

JUCE_CREATE_APPLICATION_DEFINE(Application)

// The process entry: started from a console, the program writes its
// diagnostic lines there unless standard error is redirected; then it hands a
// new Application to the framework's main loop and returns its result as the
// exit code.
extern "C" JUCE_MAIN_FUNCTION
{
    ParentConsole::attachForStandardError();
    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main(JUCE_MAIN_FUNCTION_ARGS);
}
