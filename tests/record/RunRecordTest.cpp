// KVR516_UPDATE, GPL-3.0-or-later.
// The run's record: each run's header, lines and closing line appended to
// one bounded file of its owner's alone, a record that cannot be written (or
// that never answers) costing the run nothing but one line on standard error.
#include "record/RunRecord.h"
#include "record/DiagnosticLog.h"
#include "record/ThreadRelease.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <regex>
#include <sys/file.h>
#include <sys/stat.h>
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

const juce::String program = "KVR516_UPDATE 1.0 (commit 0123456789ab)";
const std::string start =
    "=== start \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d); "
    "KVR516_UPDATE 1\\.0 \\(commit 0123456789ab\\); (Linux|Windows).+; language: ";
const std::string end = "=== end after \\d+\\.\\d{3} s; outcome: ";
void fiftyLines(int thread)
{
    for (int i = 0; i < 50; ++i)
        RunRecord::line("thread " + juce::String(thread) + " line " + juce::String(i));
}

// Lines of fiftyLines: each whole, and each thread's in its order.
void expectWholeInOrder(const juce::StringArray& lines)
{
    std::map<int, int> next;
    for (const juce::String& line : lines)
    {
        ASSERT_TRUE(matches(line, "\\+\\d+\\.\\d{3} s thread [0-9] line \\d+")) << line;
        const int thread = line.fromFirstOccurrenceOf("thread ", false, false).getIntValue();
        EXPECT_EQ(line.fromLastOccurrenceOf(" ", false, false).getIntValue(), next[thread]++);
    }
    EXPECT_EQ(lines.size(), static_cast<int>(next.size()) * 50); // so 50 of each
}

bool ownersAlone(const juce::File& file)
{
    return std::filesystem::status(file.getFullPathName().toStdString()).permissions() ==
           std::filesystem::perms(0600);
}

// Closes the record and waits until its writer has written all.
void closeAndWait()
{
    RunRecord::close();
    for (int i = 0; i < 1000 && ThreadRelease::givenUp() > 0; ++i)
        juce::Thread::sleep(10);
}

// "KVR700X2", the shortest update file.
const char* const sha256 = "d857d38a9d2cfca76feeff131f93e882f227176bdc309b07061ccd59ea4d981a";
} // namespace

// Two runs on a record beyond its limit that others could read: the oldest
// lines go, whole, and only its owner may read it; the lines of several
// threads at once come whole after one header; what a run did not reach is
// said plainly.
TEST(RunRecord, EachRunAppendsHeaderLinesAndClosingLineToOneBoundedFile)
{
    Folder folder;
    const juce::File state = folder.dir.getChildFile("state/KVR516_UPDATE");
    const juce::File file = state.getChildFile(RunRecord::fileName);
    std::string old;
    for (int i = 0; old.size() <= RunRecord::sizeLimit * 3 / 2; ++i)
        old += "old line " + std::to_string(i) + " " + std::string(i % 200, 'x') + "\n";
    ASSERT_TRUE(state.createDirectory() && file.replaceWithText(old) &&
                ::chmod(file.getFullPathName().toRawUTF8(), 0644) == 0);

    RunRecord::open(state, program);
    RunRecord::noteLanguage("English");
    RunRecord::noteUpdateFile("KVR516_UPDATE.upd", 8, sha256);
    DiagnosticLog::line("the check's line");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(fiftyLines, t);
    RunRecord::noteMixer("198.51.100.20");
    RunRecord::noteDelivery(12.34);
    RunRecord::noteOutcome("Finish (\"Finish sending the firmware.\")");
    RunRecord::noteOutcome("quit without a message on the finish screen"); // the OK that follows
    for (std::thread& thread : threads)
        thread.join();
    closeAndWait();
    RunRecord::line("after the end");
    RunRecord::open(state, program);
    closeAndWait();

    EXPECT_LE(file.getSize(), RunRecord::sizeLimit + 12000);
    EXPECT_TRUE(ownersAlone(file)); // made 0644 before the runs
    auto lines = juce::StringArray::fromLines(file.loadFileAsString().trim());
    ASSERT_GT(lines.size(), 205);
    EXPECT_TRUE(matches(lines[0], "old line \\d+ x*")) << lines[0];
    lines.removeRange(0, lines.size() - 205);
    EXPECT_TRUE(matches(lines[0], start + "English")) << lines[0];
    lines.remove(1); // the check's line
    expectWholeInOrder(juce::StringArray(lines.begin() + 1, 200));
    EXPECT_TRUE(matches(lines[201], end +
                                        "Finish \\(\"Finish sending the firmware\\.\"\\); update "
                                        "file: KVR516_UPDATE\\.upd, 8 bytes, SHA-256 " +
                                        sha256 +
                                        "; mixer: 198\\.51\\.100\\.20; transfer: 12\\.3 ms from "
                                        "the length to the last acknowledgement"))
        << lines[201];
    EXPECT_TRUE(matches(lines[202], start + "not chosen")) << lines[202];
    EXPECT_TRUE(matches(lines[203], end + "none shown; update file: not checked; mixer: not "
                                          "connected; transfer: none completed"))
        << lines[203];
}

// A folder that cannot be made (a file in the way), a record file that cannot
// be opened (a folder in its place), a record's name that is a link to
// another file (beyond the limit and others may read), no folder at all:
// standard error says so once, the diagnostic lines go on there, and nothing
// fails. The other file is left as it was.
TEST(RunRecord, RecordThatCannotBeWrittenIsSaidOnceAndCostsTheRunNothing)
{
    Folder folder;
    const juce::File blocker = folder.dir.getChildFile("file");
    const juce::File taken = folder.dir.getChildFile("taken");
    const juce::File linked = folder.dir.getChildFile("linked");
    const juce::File other = folder.dir.getChildFile("other");
    const juce::String others = juce::String::repeatedString("other's line\n", 150000);
    ASSERT_TRUE(taken.getChildFile(RunRecord::fileName).createDirectory() &&
                blocker.replaceWithText("in the way") &&
                other.replaceWithText(others, false, false, "\n") &&
                ::chmod(other.getFullPathName().toRawUTF8(), 0644) == 0 &&
                linked.createDirectory() &&
                other.createSymbolicLink(linked.getChildFile(RunRecord::fileName), true));
    const std::pair<juce::File, std::string> rows[] = {
        {blocker.getChildFile("KVR516_UPDATE"), "cannot make the folder .+/file/KVR516_UPDATE: .+"},
        {taken, "cannot open .+/taken/KVR516_UPDATE\\.log: .+"},
        {linked, "cannot open .+/linked/KVR516_UPDATE\\.log: a symbolic link, not a regular file"},
        {juce::File(), "the system names no folder for it"},
    };
    for (const auto& [where, why] : rows)
    {
        testing::internal::CaptureStderr();
        RunRecord::open(where, program);
        closeAndWait();
        DiagnosticLog::line("initialise stage ended: ok");
        const juce::String err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(matches(err, "KVR516_UPDATE: no record of this run is kept \\(" + why +
                                     "\\)\nKVR516_UPDATE: initialise stage ended: ok\n"))
            << err;
    }
    EXPECT_EQ(blocker.loadFileAsString(), "in the way");
    EXPECT_TRUE(other.loadFileAsString() == others &&
                std::filesystem::status(other.getFullPathName().toStdString()).permissions() ==
                    std::filesystem::perms(0644));
}

// The file held by a trim of another copy, the writer waits to open it:
// close returns all the same, and the lines of several threads follow, whole
// and in order, once the file is free, in the file the trim put in its place.
// The file is its owner's alone.
TEST(RunRecord, CloseReturnsWhileTheFileHoldsTheWriterAndTheLinesFollow)
{
    Folder folder;
    const juce::File file = folder.dir.getChildFile(RunRecord::fileName);
    RunRecord::open(folder.dir, program);
    closeAndWait();
    EXPECT_TRUE(ownersAlone(file));

    const int trim = ::open(file.getFullPathName().toRawUTF8(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(trim, LOCK_EX), 0);
    RunRecord::open(folder.dir, program);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back(fiftyLines, t);
    for (std::thread& thread : threads)
        thread.join();
    struct stat held
    {
    };
    ASSERT_EQ(::fstat(trim, &held), 0);
    const juce::String waiter = ":" + juce::String(held.st_ino) + " ";
    auto writerWaits = [&]
    {
        for (const juce::String& lock :
             juce::StringArray::fromLines(juce::File("/proc/locks").loadFileAsString()))
            if (lock.contains("-> FLOCK") && lock.contains(waiter))
                return true;
        return false;
    };
    for (int i = 0; i < 1000 && !writerWaits(); ++i)
        juce::Thread::sleep(10);
    const auto closing = std::chrono::steady_clock::now();
    RunRecord::close();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(1));
    // The trim puts a file of what it keeps in the record's place, then lets go.
    const juce::File kept = folder.dir.getChildFile("kept");
    ASSERT_TRUE(writerWaits() && kept.replaceWithText(file.loadFileAsString()) &&
                kept.moveFileTo(file));
    ::close(trim);
    closeAndWait();

    auto lines = juce::StringArray::fromLines(file.loadFileAsString().trim());
    ASSERT_EQ(lines.size(), 2 + 2 + 150);
    EXPECT_TRUE(matches(lines[2] + lines[153], start + "not chosen" + end + "none shown.*"));
    expectWholeInOrder(juce::StringArray(lines.begin() + 3, 150));
}
