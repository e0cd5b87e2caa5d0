// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/RetryList.h"
#include "app/ReportAndRetry.h"
#include "app/RunReport.h"

#include <gtest/gtest.h>

namespace
{
const juce::String sha = juce::String::repeatedString("a", 64);

// A report as the program writes it, of a run with three mixers: .21
// finished, .22 failed with S3, .23 cancelled; and so on for more.
juce::String written(int mixers = 3)
{
    std::vector<MixerDelivery::Report> came(static_cast<std::size_t>(mixers));
    const StageResult results[] = {StageResult::success, StageResult::code3,
                                   StageResult::cancelled};
    for (int i = 0; i < mixers; ++i)
    {
        came[i].address = "198.51.100." + juce::String(21 + i);
        came[i].ended = true;
        came[i].result = results[i % 3];
    }
    RunReport::Run run;
    run.updateFile = juce::File("/tmp/KVR516_UPDATE.upd");
    run.sha256 = sha;
    run.mixersAsked = mixers;
    const MixersOutcome outcome(came, {"198.51.100.20"}, mixers, false, StageResult::success);
    return juce::JSON::toString(RunReport::document(run, outcome));
}
} // namespace

// Each row: the report's text, then the reason it is refused, or the mixers
// to try again.
TEST(RetryList, AReportGivesItsFailedMixersOrAReason)
{
    const juce::String good = written();
    struct Row
    {
        juce::String text;
        const char* error; // a part of the reason; "" when taken
        const char* addresses = "";
    };
    const Row rows[] = {
        {good, "", "198.51.100.22,198.51.100.23"},
        {good.replace("\"failed\"", "\"finished\"").replace("\"cancelled\"", "\"finished\""), ""},
        {"", "not a report"},
        {"KVR516_UPDATE finished", "not JSON"},
        {good.dropLastCharacters(3), "cut short"},
        {"[1, 2]", "not a report"},
        {good.replace("\"report_version\": 1", "\"report_version\": 2"), "report_version is not 1"},
        {good.replace("\"mixers_asked\"", "\"mixers_wanted\""), "\"mixers_asked\" is missing"},
        {good.replace("\"bytes_sent\"", "\"sent\""), "\"bytes_sent\" is missing from mixers[0]"},
        {good.replace(sha, sha.dropLastCharacters(1)), "file.sha256"},
        {good.replace(sha, sha.toUpperCase()), "file.sha256"},
        {good.replace("198.51.100.22", "198.51.100.256"), "mixers[1].address"},
        {good.replace("\"failed\"", "\"lost\""), "mixers[1].outcome"},
        {good.replace("\"mixers\": [", "\"mixers\": [3, "), "mixers[0] is not an object"},
        {written(98), "more mixers to try again than the 64"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.text.toStdString());
        const RetryList::List list = RetryList::of(row.text);
        EXPECT_TRUE(juce::String(row.error).isEmpty() ? list.error.isEmpty()
                                                      : list.error.contains(row.error))
            << list.error;
        if (*row.error == 0)
        {
            EXPECT_EQ(list.addresses.joinIntoString(","), row.addresses);
            EXPECT_EQ(list.sha256, sha);
        }
    }
    EXPECT_EQ(RetryList::of(written(97)).addresses.size(), 64); // as many as a run takes

    // A second try's report, cancelled once .22 had finished, names .23 as
    // the report before did: a third try waits for it alone.
    MixerDelivery::Report again;
    again.address = "198.51.100.22";
    again.ended = true;
    again.result = StageResult::success;
    RunReport::Run second;
    second.sha256 = sha;
    second.awaited = RetryList::of(good).entries;
    const MixersOutcome came({again}, {}, 2, true, StageResult::success);
    const juce::String text = juce::JSON::toString(RunReport::document(second, came));
    EXPECT_EQ(RetryList::of(text).addresses, juce::StringArray("198.51.100.23")) << text;
}

// A report read from a file: a folder, a missing file and one over 1 MiB are
// refused before a byte is parsed; a report written is read back whole, and
// prepares the run that --retry starts.
TEST(RetryList, TheFileIsAWholeReportOfAtMostOneMebibyte)
{
    const juce::TemporaryFile folder;
    ASSERT_TRUE(folder.getFile().createDirectory());
    const juce::File report = folder.getFile().getChildFile("report.json");
    EXPECT_TRUE(RetryList::read(folder.getFile().getFullPathName()).error.contains("not a file"));
    EXPECT_TRUE(RetryList::read(report.getFullPathName()).error.contains("no such file"));

    ASSERT_TRUE(RunReport::write(report.getFullPathName(), juce::JSON::parse(written())));
    EXPECT_EQ(RetryList::read(report.getFullPathName()).addresses.size(), 2);
    // Nothing left beside it, hidden or not.
    EXPECT_EQ(folder.getFile().findChildFiles(juce::File::findFiles, false).size(), 1);

    // A run started with it waits for its two mixers, each told apart; the
    // window's own report goes to a file, never to standard output.
    for (const bool window : {false, true})
    {
        CommandLine::Settings s;
        s.retryPath = report.getFullPathName();
        s.reportPath = "-";
        const ReportAndRetry::Prepared p = ReportAndRetry::prepare(s, window);
        EXPECT_EQ(p.refusal.contains("--report -"), window) << p.refusal;
        EXPECT_EQ(s.mixers, window ? 1 : 2);
        EXPECT_EQ(s.mixersGiven, !window);
        EXPECT_FALSE(p.nothingToTryAgain);
    }

    juce::String padded = written();
    padded << juce::String::repeatedString(" ", static_cast<int>(RetryList::maxBytes) -
                                                    padded.getNumBytesAsUTF8());
    ASSERT_TRUE(report.replaceWithText(padded));
    EXPECT_EQ(RetryList::read(report.getFullPathName()).error, "");
    ASSERT_TRUE(report.appendText(" "));
    EXPECT_TRUE(RetryList::read(report.getFullPathName()).error.contains("larger than 1 MiB"));

    const juce::File missingFolder = folder.getFile().getChildFile("gone/report.json");
    EXPECT_TRUE(RunReport::checkWritable(missingFolder.getFullPathName()).failed());
    EXPECT_FALSE(missingFolder.getParentDirectory().exists());
    CommandLine::Settings s;
    s.reportPath = missingFolder.getFullPathName();
    EXPECT_TRUE(ReportAndRetry::prepare(s, true).refusal.isNotEmpty());

    // A report in which every mixer finished: nothing to try again.
    ASSERT_TRUE(report.replaceWithText(
        written().replace("\"failed\"", "\"finished\"").replace("\"cancelled\"", "\"finished\"")));
    s = {};
    s.retryPath = report.getFullPathName();
    const ReportAndRetry::Prepared none = ReportAndRetry::prepare(s, true);
    EXPECT_TRUE(none.refusal.isEmpty()) << none.refusal;
    EXPECT_TRUE(none.nothingToTryAgain);
}
