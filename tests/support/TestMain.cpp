// KVR516_UPDATE, GPL-3.0-or-later.
// The main of every GoogleTest program: JUCE (its message manager on this,
// the message thread) is set up once for the whole run and shut down after
// the last test, as in the program itself.
#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
