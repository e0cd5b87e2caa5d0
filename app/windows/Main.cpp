// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"

// The process entry: hands a new Application to the framework's main loop
// and returns its result as the exit code.
START_JUCE_APPLICATION(Application)
