// KVR516_UPDATE, GPL-3.0-or-later.
// The screens of several mixers, fed an account of their mixers: each row's
// name and line (what a screen reader hears), the end screen's lines,
// message and buttons, the number of mixers from the keyboard, and the
// panel's height.
#include "platform/LocaleQuery.h"
#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"
#include "ui/MixerRow.h"
#include "ui/MixersChoice.h"
#include "ui/MixersEndScreen.h"
#include "ui/MixersPanel.h"

#include <gtest/gtest.h>

namespace
{
class EnglishUser : public LocaleQuery
{
public:
    std::vector<std::string> installedLocaleIds() override { return {"00000409", "00000411"}; }
    std::uint16_t userDefaultLanguageId() override { return 0x0409; }
};

MixerDelivery::Report report(const char* address, juce::int64 taken, bool ended,
                             StageResult result = StageResult::success, int attempt = 1)
{
    MixerDelivery::Report r;
    r.address = address;
    r.attempt = attempt;
    r.figures.taken = taken;
    r.figures.total = 8'400'000;
    r.figures.hasReading = true;
    r.figures.finished = ended && result == StageResult::success;
    r.ended = ended;
    r.result = result;
    return r;
}

juce::String utf8(const char* text)
{
    return juce::String::fromUTF8(text);
}

class MixersScreenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TxtLoader::setLocaleQuery(std::make_shared<EnglishUser>());
        TxtLoader::getInstance()->setLanguage(0);
    }
    void TearDown() override
    {
        TxtLoader::deleteInstance();
        TxtLoader::setLocaleQuery(nullptr);
    }
};

TEST_F(MixersScreenTest, EachRowReadsItsAddressThenItsFigureAndVerdict)
{
    const MixersOutcome outcome({report("198.51.100.21", 8'400'000, true),
                                 report("198.51.100.22", 3'100'000, true, StageResult::code3),
                                 report("198.51.100.23", 3'100'000, false),
                                 report("198.51.100.24", 1'000'000, true, StageResult::code2, 2)},
                                {"198.51.100.25"}, 4, false, StageResult::success);
    MixersPanel panel;
    panel.setSize(550, MixersPanel::heightFor(4));
    panel.showMixers(outcome);
    // 198.51.100.24 failed once before this update and twice within it.
    EXPECT_EQ(panel.getRows().joinIntoString("\n"),
              utf8("198.51.100.21 | 8.4 MB of 8.4 MB · finished\n"
                   "198.51.100.22 | 3.1 MB of 8.4 MB · A problem occurred while "
                   "sending the file_S3 (S3)\n"
                   "198.51.100.23 | 3.1 MB of 8.4 MB\n"
                   "198.51.100.24 (second try) | 1.0 MB of 8.4 MB · A problem "
                   "occurred while sending the file_S2 (S2)\n"
                   "198.51.100.25 | turned away: every mixer asked for had come"));
    EXPECT_EQ(panel.endLines(outcome),
              "Mixer 198.51.100.22: A problem occurred while sending the file_S3 (S3)\n"
              "Mixer 198.51.100.23: Send error 4 (S4)\n"
              "Mixer 198.51.100.24 (second try): A problem occurred while sending the file_S2 "
              "(S2)");

    // A screen reader takes each row as one item: its name, then its line.
    MixerRow row;
    row.show("198.51.100.22 (second try)", 0.5, utf8("3.1 MB of 8.4 MB · finished"));
    const auto handler = row.createAccessibilityHandler();
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->getTitle(), "198.51.100.22 (second try)");
    ASSERT_NE(handler->getValueInterface(), nullptr);
    EXPECT_EQ(handler->getValueInterface()->getCurrentValueAsString(),
              utf8("3.1 MB of 8.4 MB · finished"));
}

TEST_F(MixersScreenTest, EndScreenWaitsAgainOnlyWhereSomeFailedOrWereCancelled)
{
    using R = StageResult;
    struct Row
    {
        const char* what;
        std::vector<MixerDelivery::Report> came;
        int wanted;
        int left, right;
        bool rightVisible;
        const char* message;
    };
    const char* const unconfirmed =
        "This computer could not confirm that the mixer received the end of the file.";
    auto unconfirmedReport = report("198.51.100.22", 8'400'000, true);
    unconfirmedReport.unconfirmed = true;
    const Row rows[] = {
        {"all finished",
         {report("198.51.100.21", 1, true), report("198.51.100.22", 1, true)},
         2,
         StringEntry::ok,
         StringEntry::cancel,
         false,
         "2 of 2 mixers finished"},
        {"one failed",
         {report("198.51.100.21", 1, true), report("198.51.100.22", 1, true, R::code3)},
         2,
         StringEntry::tryAgain,
         StringEntry::exit,
         true,
         "1 of 2 mixers finished"},
        {"one cancelled",
         {report("198.51.100.21", 1, true, R::cancelled)},
         1,
         StringEntry::tryAgain,
         StringEntry::exit,
         true,
         "0 of 1 mixers finished"},
        {"one unconfirmed",
         {report("198.51.100.21", 1, true), unconfirmedReport},
         2,
         StringEntry::ok,
         StringEntry::cancel,
         false,
         "2 of 2 mixers finished"},
        // Fewer came, and those finished: nothing to try again.
        {"fewer came",
         {report("198.51.100.21", 1, true)},
         3,
         StringEntry::ok,
         StringEntry::cancel,
         false,
         "1 of 3 mixers finished"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        const MixersOutcome outcome(row.came, {}, row.wanted, false, R::success);
        const MixersEndScreen::Buttons b = MixersEndScreen::buttons(outcome);
        EXPECT_EQ(b.leftText, row.left);
        EXPECT_EQ(b.rightText, row.right);
        EXPECT_EQ(b.rightVisible, row.rightVisible);
        const juce::String expected =
            juce::String(row.message) +
            (std::string(row.what) == "one unconfirmed" ? "\n" + juce::String(unconfirmed) : "");
        EXPECT_EQ(MixersEndScreen::message(outcome), expected);
    }
}

TEST_F(MixersScreenTest, TheNumberOfMixersKeepsWithinOneToSixtyFourByItsArrowKeys)
{
    MixersChoice choice;
    juce::Slider& number = choice.getNumber();
    EXPECT_TRUE(number.getWantsKeyboardFocus());
    EXPECT_EQ(choice.getMixers(), 1);
    const juce::KeyPress up(juce::KeyPress::upKey), down(juce::KeyPress::downKey);
    struct Row
    {
        int from;
        juce::KeyPress key;
        int to;
    };
    for (const Row& row : {Row{1, up, 2}, Row{1, down, 1}, Row{63, up, 64}, Row{64, up, 64},
                           Row{2, juce::KeyPress(juce::KeyPress::leftKey), 1}})
    {
        choice.setMixers(row.from);
        number.keyPressed(row.key);
        EXPECT_EQ(choice.getMixers(), row.to) << row.from;
    }
    // Return goes on to the screen (START).
    EXPECT_FALSE(number.keyPressed(juce::KeyPress(juce::KeyPress::returnKey)));
    choice.setMixers(0);
    EXPECT_EQ(choice.getMixers(), 1);
    choice.setMixers(65);
    EXPECT_EQ(choice.getMixers(), 64);
}

// Eight rows show at once; more scroll. With the title bar the window stays
// whole on a 1024 x 768 screen.
TEST_F(MixersScreenTest, ThePanelHoldsEightRowsAndNoMore)
{
    EXPECT_LT(MixersPanel::heightFor(1), MixersPanel::heightFor(2));
    EXPECT_EQ(MixersPanel::heightFor(8), MixersPanel::heightFor(64));
    EXPECT_LE(MixersPanel::heightFor(64) + 58 + 44 + 40, 768);
}
} // namespace
