// KVR516_UPDATE, GPL-3.0-or-later.
// Appends from two handles on one file, as two copies of the program have:
// every line lands whole, none over another.
#include "platform/AppendFile.h"

#include <gtest/gtest.h>

#include <thread>

TEST(AppendFile, LinesOfTwoWritersAtOnceLandWholeAndNoneIsLost)
{
    const juce::File dir = juce::File::createTempFile("kvr-append");
    ASSERT_TRUE(dir.createDirectory());
    const juce::File file = dir.getChildFile("record.log");
    constexpr int linesEach = 500;
    {
        AppendFile first(file), second(file);
        ASSERT_EQ(first.openError(), "");
        ASSERT_EQ(second.openError(), "");
        // Lines longer than a stream's buffer, each writer's of its own letter.
        auto writeLines = [](AppendFile& to, char letter)
        {
            for (int i = 0; i < linesEach; ++i)
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

    juce::StringArray lines;
    file.readLines(lines);
    lines.removeEmptyStrings();
    EXPECT_EQ(lines.size(), 2 * linesEach);
    for (const juce::String& line : lines)
        ASSERT_TRUE(line.containsOnly("a") || line.containsOnly("b")) << line.substring(0, 80);

    // A folder in the file's place is refused, with the system's reason.
    AppendFile folder(dir);
    EXPECT_NE(folder.openError(), "");
    EXPECT_NE(folder.append("x\n", 2), "");
    dir.deleteRecursively();
}
