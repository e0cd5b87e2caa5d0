// KVR516_UPDATE, GPL-3.0-or-later.
// Appends from two handles on one file, as two copies of the program have:
// every line lands whole, none over another; a trim leaves the file as it is
// while they hold it, and then puts a file of the newest whole lines in its
// place.
#include "platform/AppendFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

TEST(AppendFile, LinesOfTwoWritersAtOnceLandWholeAndATrimWaitsUntilNoneHoldsTheFile)
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
        const juce::int64 size = file.getSize();
        EXPECT_EQ(AppendFile::trim(file, 5000) + juce::String(file.getSize() - size), "0");
    }
    const auto lines = juce::StringArray::fromLines(file.loadFileAsString().trimEnd());
    EXPECT_EQ(lines.size(), 1000);
    for (const juce::String& line : lines)
        ASSERT_TRUE(line.containsOnly("a") || line.containsOnly("b")) << line.substring(0, 80);
    // Another name of the file as it was: a trim replaces the file, never cuts it.
    const juce::File before = dir.getChildFile("before.log");
    std::filesystem::create_hard_link(file.getFullPathName().toStdString(),
                                      before.getFullPathName().toStdString());
    EXPECT_EQ(AppendFile::trim(file, 5000) + AppendFile::trim(dir.getChildFile("none"), 1), "");
    EXPECT_EQ(juce::StringArray::fromLines(before.loadFileAsString().trimEnd()), lines);
    EXPECT_FALSE(dir.getChildFile("record.log.trim").exists());
    const auto kept = juce::StringArray::fromLines(file.loadFileAsString().trimEnd());
    EXPECT_TRUE(file.getSize() <= 5000 && file.getSize() > 2000 && kept.size() > 1);
    EXPECT_EQ(kept.joinIntoString("\n"), lines.joinIntoString("\n", lines.size() - kept.size()));
    dir.deleteRecursively();
}
