// KVR516_UPDATE, GPL-3.0-or-later.
// The file the transfer reads: its size only when it is a regular file, and
// reads that give exactly what was asked or fail.
#include "platform/OpenFile.h"

#include <gtest/gtest.h>

namespace
{
struct Folder
{
    Folder() { dir.createDirectory(); }
    ~Folder() { dir.deleteRecursively(); }
    juce::File dir = juce::File::createTempFile("kvr-openfile");
};
} // namespace

TEST(OpenFile, RegularFileReadsExactlyItsBytesAndNoMore)
{
    Folder folder;
    const juce::File file = folder.dir.getChildFile("five");
    ASSERT_TRUE(file.replaceWithText("ABCDE"));

    OpenFile in(file);
    EXPECT_EQ(in.regularFileSize(), 5);
    char bytes[8] = {};
    ASSERT_TRUE(in.readExactly(bytes, 3));
    EXPECT_EQ(std::string(bytes, 3), "ABC");
    EXPECT_FALSE(in.readExactly(bytes, 3)); // two left: the file ends first
}

TEST(OpenFile, FolderAndMissingFileHaveNoSizeAndNoBytes)
{
    Folder folder;
    for (const juce::File& f : {folder.dir, folder.dir.getChildFile("missing")})
    {
        OpenFile in(f);
        EXPECT_EQ(in.regularFileSize(), -1) << f.getFullPathName();
        char byte = 0;
        EXPECT_FALSE(in.readExactly(&byte, 1)) << f.getFullPathName();
    }
}

#ifdef _WIN32
// Others may go on reading the file while it is open, but not write it; and a
// writer that is already there makes the open fail.
TEST(OpenFile, OthersMayReadButNotWriteWhileItIsOpen)
{
    Folder folder;
    const juce::File file = folder.dir.getChildFile("shared");
    ASSERT_TRUE(file.replaceWithText("ABCDE"));
    {
        OpenFile in(file);
        ASSERT_EQ(in.regularFileSize(), 5);
        EXPECT_TRUE(juce::FileInputStream(file).openedOk());
        EXPECT_FALSE(juce::FileOutputStream(file).openedOk());
    }
    juce::FileOutputStream writer(file);
    ASSERT_TRUE(writer.openedOk());
    EXPECT_EQ(OpenFile(file).regularFileSize(), -1);
    // Why, for the log, in the user's Japanese: not code page 932's bytes read as UTF-8.
    const juce::String why = OpenFile(file).whyNotOpened();
    bool japanese = false, clean = true;
    for (auto c = why.getCharPointer(); !c.isEmpty(); ++c)
    {
        japanese = japanese || (*c >= 0x3000 && *c <= 0xFFEF);
        clean = clean && ((*c >= 0x20 && *c < 0x7F) || (*c >= 0x3000 && *c <= 0xFFEF));
    }
    EXPECT_TRUE(japanese && clean) << why;
}
#endif
