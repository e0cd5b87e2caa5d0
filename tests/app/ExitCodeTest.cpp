// KVR516_UPDATE, GPL-3.0-or-later.
// The console run's exit codes: one per outcome, and the same table in --help
// and the docs.
#include "app/ExitCode.h"
#include "app/ConsoleRun.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

TEST(ExitCode, EachOutcomeHasItsCode)
{
    struct Row
    {
        Phase stage;
        StageResult result;
        ExitCode::Code code;
        bool unconfirmedEnd = false;
    };
    const Row rows[] = {
        {Phase::initialise, StageResult::code4, ExitCode::initialiseFailed},
        {Phase::connect, StageResult::code1, ExitCode::connectFailed},
        {Phase::send, StageResult::code3, ExitCode::sendFailed},
        {Phase::connect, StageResult::cancelled, ExitCode::cancelled},
        {Phase::send, StageResult::success, ExitCode::finished},
        {Phase::send, StageResult::success, ExitCode::unconfirmed, true},
        {Phase::send, StageResult::cancelled, ExitCode::cancelled, true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ExitCode::of(row.stage, row.result, row.unconfirmedEnd), row.code)
            << static_cast<int>(row.stage) << " " << static_cast<int>(row.result);
}

// Several mixers: a cancel, then a failed send, then the mixers missing, then
// an end not confirmed. A send not ended counts as failed, never finished.
TEST(ExitCode, SeveralMixersTakeTheCodeThatComesFirst)
{
    enum Mixer
    {
        finished,
        unconfirmed,
        reset,
        cancelled,
        notEnded
    };
    using C = ExitCode::Code;
    struct Row
    {
        std::vector<Mixer> mixers;
        int wanted;
        bool cancel;
        StageResult wait;
        C code;
        int finishedCount;
    };
    const StageResult ok = StageResult::success, failed = StageResult::code4;
    const Row rows[] = {
        {{finished, finished, finished}, 3, false, ok, C::finished, 3},
        {{finished, unconfirmed, finished}, 3, false, ok, C::unconfirmed, 3},
        {{unconfirmed, reset, finished}, 3, false, ok, C::sendFailed, 2},
        {{finished, unconfirmed}, 3, false, ok, C::noMixerInTime, 2},
        {{finished}, 3, false, failed, C::connectFailed, 1},
        {{reset}, 3, false, failed, C::sendFailed, 0},
        {{finished, reset, cancelled}, 3, false, ok, C::cancelled, 1},
        {{finished, finished}, 3, true, ok, C::cancelled, 2},
        {{finished, finished}, 2, true, ok, C::finished, 2},
        {{unconfirmed}, 1, false, ok, C::unconfirmed, 1},
        {{notEnded}, 1, false, ok, C::sendFailed, 0},
    };
    for (const Row& row : rows)
    {
        std::vector<MixerDelivery::Report> reports;
        for (const Mixer m : row.mixers)
        {
            MixerDelivery::Report r;
            r.ended = m != notEnded;
            r.result = m == reset       ? StageResult::code2
                       : m == cancelled ? StageResult::cancelled
                       : m == notEnded  ? StageResult::success
                                        : StageResult::success;
            r.unconfirmed = m == unconfirmed || m == notEnded;
            reports.push_back(r);
        }
        const MixersOutcome outcome(reports, {}, row.wanted, row.cancel, row.wait);
        EXPECT_EQ(ExitCode::of(outcome.getWhole()), row.code) << &row - rows;
        EXPECT_EQ(outcome.getFinished(), row.finishedCount) << &row - rows;
    }
}

// The window's run, as its report tells it: the last stage's result, a stage
// that succeeded short of the send being one the user left; several mixers
// by their account once their send stage has ended without a cancel. A
// second wait for those that failed (TRY AGAIN) puts each in its place.
TEST(ExitCode, TheWindowsRunComesToWhatItsLastStageAndItsMixersDid)
{
    using C = ExitCode::Code;
    std::vector<MixerDelivery::Report> first(3);
    const StageResult ends[] = {StageResult::success, StageResult::code3, StageResult::cancelled};
    for (std::size_t i = 0; i < first.size(); ++i)
    {
        first[i].address = "198.51.100.2" + juce::String(static_cast<int>(i) + 1);
        first[i].ended = true;
        first[i].result = ends[i];
    }
    const MixersOutcome before(first, {}, 3, false, StageResult::success);
    std::vector<MixerDelivery::Report> again{first[1], first[2]};
    for (MixerDelivery::Report& r : again)
        r.result = StageResult::success;
    const MixersOutcome after =
        before.followedBy(MixersOutcome(again, {"198.51.100.21"}, 2, false, StageResult::success));
    const MixersOutcome halfway =
        before.followedBy(MixersOutcome({again[0]}, {}, 2, true, StageResult::success));

    EXPECT_EQ(after.getWanted(), 3);
    EXPECT_EQ(after.getFinished(), 3);
    EXPECT_EQ(after.getMixers().size(), 3u); // .21, turned away the second time, keeps its place
    EXPECT_EQ(after.getMixers()[1].attempt, 2);
    EXPECT_EQ(halfway.getToTryAgain(), juce::StringArray("198.51.100.23"));

    struct Row
    {
        Phase stage;
        StageResult result;
        const MixersOutcome* mixers;
        C code;
        bool unconfirmedEnd = false;
    };
    const Row rows[] = {
        {Phase::notShown, StageResult::success, nullptr, C::cancelled},
        {Phase::initialise, StageResult::success, nullptr, C::cancelled},
        {Phase::initialise, StageResult::code4, &after, C::initialiseFailed},
        {Phase::connect, StageResult::code1, &before, C::connectFailed},
        {Phase::send, StageResult::success, nullptr, C::unconfirmed, true},
        {Phase::send, StageResult::code3, nullptr, C::sendFailed},
        {Phase::send, StageResult::success, &before, C::cancelled},
        {Phase::send, StageResult::success, &after, C::finished},
        {Phase::send, StageResult::cancelled, &after, C::cancelled},
        {Phase::send, StageResult::success, &halfway, C::cancelled},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ExitCode::ofWindow(row.stage, row.result, row.unconfirmedEnd, row.mixers),
                  row.code)
            << &row - rows;
}

namespace
{
// The codes a document's table lists: the rows "| N | ..." of docs/using.md,
// or the header row "| Exit code | 0 | 1 | ..." of the README.
std::set<int> codesIn(const char* document)
{
    const juce::File file = juce::File(KVR_SOURCE_DIR).getChildFile(document);
    const std::string text = file.loadFileAsString().toStdString();
    std::set<int> codes;
    const std::regex row(R"(\n\| (\d+) \| )");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row);
         it != std::sregex_iterator(); ++it)
        codes.insert(std::stoi((*it)[1]));
    const std::smatch header = [&]
    {
        std::smatch m;
        std::regex_search(text, m, std::regex(R"(\| Exit code((?: \| \d+)+) \|)"));
        return m;
    }();
    if (!header.empty())
        for (const juce::String& n : juce::StringArray::fromTokens(header[1].str(), "| ", ""))
            codes.insert(n.getIntValue());
    return codes;
}
} // namespace

// --help, the README and docs/using.md list every code of the table, no more.
TEST(ExitCode, HelpAndDocsListTheTablesCodes)
{
    std::set<int> codes;
    for (const ExitCode::Row& row : ExitCode::table())
    {
        codes.insert(row.code);
        EXPECT_TRUE(ConsoleRun::helpText().contains(
            "  " + juce::String(static_cast<int>(row.code)) + "  " +
            juce::String(row.meaning).upToFirstOccurrenceOf(" ", false, false)))
            << row.meaning;
    }
    EXPECT_EQ(codesIn("README.md"), codes);
    EXPECT_EQ(codesIn("docs/using.md"), codes);
}
