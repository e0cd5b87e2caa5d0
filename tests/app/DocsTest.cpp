// KVR516_UPDATE, GPL-3.0-or-later.
// The docs say what the code does: checked where they give its facts.
#include "app/ConsoleRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace
{
juce::File sourceFile(const char* path)
{
    return juce::File(KVR_SOURCE_DIR).getChildFile(path);
}

// The program's own sources, test code and tools left out.
juce::Array<juce::File> programSources()
{
    juce::Array<juce::File> files;
    for (const char* folder : {"app", "ui", "update", "net", "record", "platform", "resources"})
        files.addArray(sourceFile(folder).findChildFiles(juce::File::findFiles, true, "*.h;*.cpp"));
    return files;
}

// The Markdown table whose header row begins with header, up to its end.
juce::String tableIn(const char* document, const char* header)
{
    return sourceFile(document)
        .loadFileAsString()
        .fromFirstOccurrenceOf(header, true, false)
        .upToFirstOccurrenceOf("\n\n", false, false);
}
} // namespace

// The README is read on a repository's front page: its details live in docs/.
TEST(Docs, TheReadmeStaysUnderEightKilobytes)
{
    EXPECT_LT(sourceFile("README.md").getSize(), 8000);
}

// docs/architecture.md's tables name every thread the sources start and every
// lock they hold: each row a pattern in the sources (only files that hold one
// of its words are searched), and the name the table must give in backquotes
// for each match (the class the pattern captures, or else the file's name).
TEST(Docs, TheArchitecturesTablesNameEveryThreadAndLock)
{
    struct Row
    {
        const char* table;
        const char* words;
        const char* pattern;
    };
    const Row rows[] = {
        {"| Thread |", "juce::Thread",
         R"((?:class|struct)\s+(\w+)[^;{]*?(?:public|private|protected)\s+juce::Thread\b(?!::))"},
        {"| Thread |", "std::thread CreateThread", R"(\bstd::thread\b|\bCreateThread\b)"},
        {"| Lock |",
         "mutex condition_variable CriticalSection SpinLock ReadWriteLock WaitableEvent",
         R"(\b(?:std::(?:mutex|shared_mutex|recursive_mutex|condition_variable)|)"
         R"(juce::(?:CriticalSection|SpinLock|ReadWriteLock|WaitableEvent))\b)"},
    };
    for (const Row& row : rows)
    {
        const juce::String table = tableIn("docs/architecture.md", row.table);
        const juce::StringArray words = juce::StringArray::fromTokens(row.words, false);
        const std::regex pattern(row.pattern);
        int found = 0;
        for (const juce::File& file : programSources())
        {
            const juce::String source = file.loadFileAsString();
            if (!std::any_of(words.begin(), words.end(),
                             [&](const juce::String& w) { return source.contains(w); }))
                continue;
            const std::string text = source.toStdString();
            for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end;
                 ++it, ++found)
            {
                const juce::String name = (*it)[1].matched ? juce::String((*it)[1].str())
                                                           : file.getFileNameWithoutExtension();
                EXPECT_TRUE(table.contains("`" + name + "`") || table.contains("`" + name + "::"))
                    << row.table << " names no `" << name << "` (" << file.getFileName() << ")";
            }
        }
        EXPECT_GT(found, 0) << row.pattern; // the pattern still finds what it is for
    }
}

// README and docs/using.md give the console's usage as --help does.
TEST(Docs, TheConsolesUsageIsThatOfItsHelp)
{
    const auto usage = [](const juce::String& text)
    {
        const std::string flat = std::regex_replace(text.toStdString(), std::regex(R"(\s+)"), " ");
        std::smatch m;
        std::regex_search(flat, m, std::regex(R"(KVR516_UPDATE --console(?: \[[^\]]*\])+)"));
        return m.str();
    };
    const std::string help = usage(ConsoleRun::helpText());
    EXPECT_NE(help.find("--mixers"), std::string::npos) << help;
    for (const char* document : {"README.md", "docs/using.md"})
        EXPECT_EQ(usage(sourceFile(document).loadFileAsString()), help) << document;
}
