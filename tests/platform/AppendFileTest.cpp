// KVR516_UPDATE, GPL-3.0-or-later.
// Appends from two handles on one file, as two copies of the program have:
// every line lands whole, none over another.
#include "platform/AppendFile.h"

#include <gtest/gtest.h>

#include <thread>

TEST(AppendFile, LinesOfTwoWritersAtOnceLandWholeAndNoneIsLost)
{
    const juce::File dir = juce::File::createTempFile("kvr-append");
    const juce::File file = dir.getChildFile("record.log");
    ASSERT_TRUE(dir.createDirectory());
    {
        AppendFile first(file), second(file);
        ASSERT_EQ(first.openError() + second.openError(), "");
        // Lines longer than a stream's buffer, each writer's of its own letter.
        auto writeLines = [](AppendFile& to, char letter)
        {
            for (int i = 0; i < 500; ++i)
            {
                const std::string line = std::string(300 + i * 7 % 2000, letter) + "\n";
                ASSERT_EQ(to.append(line.data(), line.size()), "");
            }
        };
        std::thread a(writeLines, std::ref(first), 'a');
        std::thread b(writeLines, std::ref(second), 'b');
        a.join();
        b.join();
    }
    const auto lines = juce::StringArray::fromLines(file.loadFileAsString().trimEnd());
    EXPECT_EQ(lines.size(), 1000);
    for (const juce::String& line : lines)
        ASSERT_TRUE(line.containsOnly("a") || line.containsOnly("b")) << line.substring(0, 80);
    dir.deleteRecursively();
}

// A trim leaves a file that an appender holds as it is; once none does, it
// keeps the newest whole lines within the limit, in place.
TEST(AppendFile, TrimCutsTheOldestWholeLinesOnlyWhileNoAppenderHoldsTheFile)
{
    const juce::File dir = juce::File::createTempFile("kvr-trim");
    const juce::File file = dir.getChildFile("record.log");
    ASSERT_TRUE(dir.createDirectory());
    {
        AppendFile holder(file);
        const std::string lines = "first line\nsecond\nthird\n";
        ASSERT_EQ(holder.append(lines.data(), lines.size()), "");
        EXPECT_EQ(AppendFile::trim(file, 10), "");
        EXPECT_EQ(file.getSize(), 24);
    }
    EXPECT_EQ(AppendFile::trim(file, 10), "");
    EXPECT_EQ(file.loadFileAsString(), "third\n");
    EXPECT_EQ(AppendFile::trim(dir.getChildFile("missing.log"), 10), "");
    dir.deleteRecursively();
}
