// KVR516_UPDATE, GPL-3.0-or-later.
// The docs say what the code does: checked where they give its facts.
#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

// The README is read on a repository's front page: its details live in docs/.
TEST(Docs, TheReadmeStaysUnderEightKilobytes)
{
    EXPECT_LT(juce::File(KVR_SOURCE_DIR).getChildFile("README.md").getSize(), 8000);
}
