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
// an end not confirmed.
TEST(ExitCode, SeveralMixersTakeTheCodeThatComesFirst)
{
    using C = ExitCode::Code;
    struct Row
    {
        std::vector<C> mixers;
        int wanted;
        C fewer;
        C code;
    };
    const Row rows[] = {
        {{C::finished, C::finished, C::finished}, 3, C::noMixerInTime, C::finished},
        {{C::finished, C::unconfirmed, C::finished}, 3, C::noMixerInTime, C::unconfirmed},
        {{C::unconfirmed, C::sendFailed, C::finished}, 3, C::noMixerInTime, C::sendFailed},
        {{C::finished, C::unconfirmed}, 3, C::noMixerInTime, C::noMixerInTime},
        {{C::finished}, 3, C::connectFailed, C::connectFailed},
        {{C::sendFailed}, 3, C::connectFailed, C::sendFailed},
        {{C::finished, C::sendFailed, C::cancelled}, 3, C::noMixerInTime, C::cancelled},
        {{C::finished, C::finished}, 3, C::cancelled, C::cancelled},
        {{C::unconfirmed}, 1, C::noMixerInTime, C::unconfirmed},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ExitCode::ofMixers(row.mixers, row.wanted, row.fewer), row.code) << &row - rows;
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
