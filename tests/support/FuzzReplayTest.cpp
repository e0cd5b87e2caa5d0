// KVR516_UPDATE, GPL-3.0-or-later.
//
// Feeds a fuzz target every input of its corpus once: the seeds and each input
// that once found a fault. The target aborts, or a sanitizer reports, on a
// fault; here it simply has to return.
#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace
{
juce::Array<juce::File> corpusFiles()
{
    juce::Array<juce::File> files;
    for (const auto& path : juce::StringArray::fromTokens(KVR_FUZZ_CORPUS, "|", ""))
    {
        const juce::File entry(path);
        if (entry.isDirectory())
            files.addArray(entry.findChildFiles(juce::File::findFiles, false));
        else
            files.add(entry);
    }
    files.sort();
    return files;
}
} // namespace

TEST(KVR_FUZZ_SUITE, EveryCorpusInputPasses)
{
    const auto files = corpusFiles();
    ASSERT_FALSE(files.isEmpty()) << "no corpus in " << KVR_FUZZ_CORPUS;
    for (const auto& file : files)
    {
        SCOPED_TRACE(file.getFullPathName().toStdString());
        ASSERT_TRUE(file.existsAsFile());
        juce::MemoryBlock bytes;
        ASSERT_TRUE(file.loadFileAsData(bytes));
        EXPECT_EQ(LLVMFuzzerTestOneInput(static_cast<const std::uint8_t*>(bytes.getData()),
                                         bytes.getSize()),
                  0);
    }
}
