// KVR516_UPDATE, GPL-3.0-or-later.
// The run's record: each run's header, lines and closing line appended to
// one bounded file, and a record that cannot be written costing the run
// nothing but one line on standard error.
#include "net/RunRecord.h"
#include "net/DiagnosticLog.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

namespace
{
struct Folder
{
    ~Folder() { dir.deleteRecursively(); }
    juce::File dir = juce::File::createTempFile("kvr-record");
};

bool matches(const juce::String& text, const std::string& pattern)
{
    return std::regex_match(text.toStdString(), std::regex(pattern));
}

const std::string program = "KVR516_UPDATE 1\\.0 \\(commit 0123456789ab\\)";
const std::string seconds = "\\d+\\.\\d{3} s";
// "KVR700X2", the shortest update file.
const char* const sha256 = "d857d38a9d2cfca76feeff131f93e882f227176bdc309b07061ccd59ea4d981a";
} // namespace

TEST(RunRecord, EachRunAppendsHeaderLinesAndClosingLineToOneBoundedFile)
{
    Folder folder;
    const juce::File state = folder.dir.getChildFile("state/KVR516_UPDATE"); // made by open
    const juce::File file = state.getChildFile(RunRecord::fileName);
    ASSERT_TRUE(state.createDirectory());
    // Older runs beyond the limit: the oldest lines go, whole.
    std::string old;
    for (int i = 0; old.size() <= RunRecord::sizeLimit * 3 / 2; ++i)
        old += "old line " + std::to_string(i) + " " + std::string(i % 200, 'x') + "\n";
    ASSERT_TRUE(file.replaceWithText(old));

    ASSERT_TRUE(RunRecord::open(state, "KVR516_UPDATE 1.0 (commit 0123456789ab)"));
    RunRecord::noteLanguage("English");
    DiagnosticLog::line("connected from 198.51.100.20");
    RunRecord::noteMixer("198.51.100.20");
    RunRecord::noteUpdateFile("KVR516_UPDATE.upd", 8, sha256);
    RunRecord::noteDelivery(12.34);
    RunRecord::noteOutcome("Finish (\"Finish sending the firmware.\")");
    RunRecord::noteOutcome("quit without a message on the finish screen"); // the OK that follows
    RunRecord::close();
    DiagnosticLog::line("after the end");

    // A run that ended before the language was chosen, the check or the mixer.
    ASSERT_TRUE(RunRecord::open(state, "KVR516_UPDATE 1.0 (commit 0123456789ab)"));
    RunRecord::close();

    EXPECT_LE(file.getSize(), RunRecord::sizeLimit + 1000);
    juce::StringArray lines;
    file.readLines(lines);
    lines.removeEmptyStrings();
    ASSERT_GT(lines.size(), 5);
    EXPECT_TRUE(matches(lines[0], "old line \\d+ x*")) << lines[0];
    lines.removeRange(0, lines.size() - 5);
    const std::string start =
        "=== start \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d); " +
        program + "; (Linux|Windows).+; language: ";
    EXPECT_TRUE(matches(lines[0], start + "English")) << lines[0];
    EXPECT_TRUE(matches(lines[1], "\\+" + seconds + " connected from 198\\.51\\.100\\.20"))
        << lines[1];
    EXPECT_TRUE(matches(lines[2], "=== end after " + seconds +
                                      "; outcome: Finish \\(\"Finish sending the firmware\\.\"\\); "
                                      "update file: KVR516_UPDATE\\.upd, 8 bytes, SHA-256 " +
                                      sha256 +
                                      "; mixer: 198\\.51\\.100\\.20; transfer: 12\\.3 ms from "
                                      "the length to the last acknowledgement"))
        << lines[2];
    EXPECT_TRUE(matches(lines[3], start + "not chosen")) << lines[3];
    EXPECT_TRUE(matches(lines[4], "=== end after " + seconds +
                                      "; outcome: none shown; update file: not checked; "
                                      "mixer: not connected; transfer: none completed"))
        << lines[4];
}

// Lines of several threads at once (the update's threads all write lines):
// the header once and first, every line whole.
TEST(RunRecord, LinesOfSeveralThreadsComeWholeAfterOneHeader)
{
    Folder folder;
    ASSERT_TRUE(RunRecord::open(folder.dir, "KVR516_UPDATE 1.0 (commit 0123456789ab)"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [t]
            {
                for (int i = 0; i < 100; ++i)
                    RunRecord::line("thread " + juce::String(t) + " line " + juce::String(i));
            });
    RunRecord::noteMixer("198.51.100.20");
    for (std::thread& thread : threads)
        thread.join();
    RunRecord::close();

    juce::StringArray lines;
    folder.dir.getChildFile(RunRecord::fileName).readLines(lines);
    lines.removeEmptyStrings();
    ASSERT_EQ(lines.size(), 402);
    EXPECT_TRUE(lines[0].startsWith("=== start "));
    for (int i = 1; i <= 400; ++i)
        ASSERT_TRUE(matches(lines[i], "\\+" + seconds + " thread [0-3] line \\d+")) << lines[i];
    EXPECT_TRUE(lines[401].contains("; mixer: 198.51.100.20; ")) << lines[401];
}

// A folder that cannot be made (a file in the way) or a record file that
// cannot be opened (a folder in its place): standard error says so once, the
// diagnostic lines go on there, and nothing fails.
TEST(RunRecord, RecordThatCannotBeWrittenIsSaidOnceAndCostsTheRunNothing)
{
    Folder folder;
    ASSERT_TRUE(folder.dir.createDirectory());
    const juce::File blocker = folder.dir.getChildFile("file");
    ASSERT_TRUE(blocker.replaceWithText("in the way"));
    const juce::File taken = folder.dir.getChildFile("taken");
    ASSERT_TRUE(taken.getChildFile(RunRecord::fileName).createDirectory());

    const struct
    {
        juce::File folder;
        std::string why;
    } rows[] = {
        {blocker.getChildFile("KVR516_UPDATE"), "cannot make the folder .+/file/KVR516_UPDATE: .+"},
        {taken, "cannot open .+/taken/KVR516_UPDATE\\.log: .+"},
        {juce::File(), "the system names no folder for it"},
    };
    for (const auto& row : rows)
    {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(RunRecord::open(row.folder, "KVR516_UPDATE 1.0 (commit 0123456789ab)"));
        DiagnosticLog::line("initialise stage ended: ok");
        RunRecord::noteOutcome("Finish");
        RunRecord::close();
        const juce::String err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(matches(err, "KVR516_UPDATE: no record of this run is kept \\(" + row.why +
                                     "\\)\nKVR516_UPDATE: initialise stage ended: ok\n"))
            << err;
    }
    EXPECT_EQ(blocker.loadFileAsString(), "in the way");
}
