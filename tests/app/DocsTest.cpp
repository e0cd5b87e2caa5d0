// KVR516_UPDATE, GPL-3.0-or-later.
// The docs say what the code does: checked where they give its facts.
#include "app/ConsoleRun.h"
#include "app/ExitCode.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

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

// The README is read on a repository's front page: its details live in docs/.
TEST(Docs, TheReadmeStaysUnderEightKilobytes)
{
    EXPECT_LT(juce::File(KVR_SOURCE_DIR).getChildFile("README.md").getSize(), 8000);
}
