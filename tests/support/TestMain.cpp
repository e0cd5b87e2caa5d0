// KVR516_UPDATE, GPL-3.0-or-later.
// The main of every GoogleTest program: JUCE (its message manager on this,
// the message thread) is set up once for the whole run and shut down after
// the last test, as in the program itself.
#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Without a DISPLAY, JUCE takes ":0", which is the X server that another
    // test running beside this one (an end-to-end script) may have started
    // and will end under it. A test that needs a display starts its own and
    // sets DISPLAY; the others get one that no server serves.
#if JUCE_LINUX
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        ::setenv("DISPLAY", ":65000", 1);
#endif
    const juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
