// KVR516_UPDATE, GPL-3.0-or-later.
// The screens of several mixers, fed an account of their mixers: each row's
// name and line (what a screen reader hears), the end screen's lines,
// message and buttons, and the number of mixers from the keyboard.
#include "resources/FakeLocaleQuery.h"
#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"
#include "ui/MixerRow.h"
#include "ui/MixersChoice.h"
#include "ui/MixersEndScreen.h"
#include "ui/MixersPanel.h"
#include "update/UpdateProcedure.h"

#include <gtest/gtest.h>

namespace
{
using R = StageResult;

// A mixer at 198.51.100.2<k> that took taken bytes of 8.4 MB.
MixerDelivery::Report mixer(int k, juce::int64 taken, bool ended, R result = R::success,
                            int attempt = 1)
{
    MixerDelivery::Report r;
    r.address = "198.51.100.2" + juce::String(k);
    r.attempt = attempt;
    r.figures = {taken, 8'400'000};
    r.figures.hasReading = true;
    r.figures.finished = ended && result == R::success;
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
        TxtLoader::setLocaleQuery(
            std::make_shared<FakeLocaleQuery>(std::vector<std::string>{"00000409"}, 0x0409));
    }
    void TearDown() override
    {
        TxtLoader::deleteInstance();
        TxtLoader::setLocaleQuery(nullptr);
    }
};

TEST_F(MixersScreenTest, EachRowReadsItsAddressThenItsFigureAndVerdict)
{
    const MixersOutcome outcome({mixer(1, 8'400'000, true), mixer(2, 3'100'000, true, R::code3),
                                 mixer(3, 3'100'000, false),
                                 mixer(4, 1'000'000, true, R::code2, 2)},
                                {"198.51.100.25"}, 4, false, R::success);
    MixersPanel panel;
    const UpdateProcedure procedure({}, {});
    // 198.51.100.24 failed once before this update and once in it: its third try.
    panel.follow(procedure, {{"198.51.100.24", 1}});
    panel.showMixers(outcome);
    EXPECT_EQ(panel.getRows().joinIntoString("\n"),
              utf8("198.51.100.21 | 8.4 MB of 8.4 MB · finished\n"
                   "198.51.100.22 | 3.1 MB of 8.4 MB · A problem occurred while sending the "
                   "file_S3 (S3)\n"
                   "198.51.100.23 | 3.1 MB of 8.4 MB\n"
                   "198.51.100.24 (try 3) | 1.0 MB of 8.4 MB · A problem occurred while "
                   "sending the file_S2 (S2)\n"
                   "198.51.100.25 | turned away: every mixer asked for had come"));
    // The end: each mixer that did not finish by address and code.
    EXPECT_EQ(panel.endLines(outcome),
              "Mixer 198.51.100.22: A problem occurred while sending the file_S3 (S3)\n"
              "Mixer 198.51.100.23: Send error 4 (S4)\n"
              "Mixer 198.51.100.24 (try 3): A problem occurred while sending the file_S2 (S2)");

    // A screen reader takes a row as one item: its name, then its line.
    MixerRow row;
    row.show("198.51.100.22 (second try)", 0.5, utf8("3.1 MB of 8.4 MB · finished"));
    const auto handler = row.createAccessibilityHandler();
    EXPECT_EQ(handler->getTitle(), "198.51.100.22 (second try)");
    ASSERT_NE(handler->getValueInterface(), nullptr);
    EXPECT_EQ(handler->getValueInterface()->getCurrentValueAsString(),
              utf8("3.1 MB of 8.4 MB · finished"));
}

TEST_F(MixersScreenTest, EndScreenWaitsAgainOnlyWhereSomeFailedOrWereCancelled)
{
    auto unconfirmed = mixer(2, 1, true);
    unconfirmed.unconfirmed = true;
    struct Row
    {
        std::vector<MixerDelivery::Report> came;
        int wanted;
        bool waitsAgain;
        const char* message;
    };
    // clang-format off
    const Row rows[] = {
        {{mixer(1, 1, true), mixer(2, 1, true)},           2, false, "2 of 2 mixers finished"},
        {{mixer(1, 1, true), mixer(2, 1, true, R::code3)}, 2, true,  "1 of 2 mixers finished"},
        {{mixer(1, 1, true, R::cancelled)},                1, true,  "0 of 1 mixers finished"},
        {{mixer(1, 1, true)},                              3, false, "1 of 3 mixers finished"},
        {{mixer(1, 1, true), unconfirmed},                 2, false, "2 of 2 mixers finished\n"
            "This computer could not confirm that the mixer received the end of the file."},
    };
    // clang-format on
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.message);
        const MixersOutcome outcome(row.came, {}, row.wanted, false, R::success);
        const MixersEndScreen::Buttons b = MixersEndScreen::buttons(outcome);
        EXPECT_EQ(b.leftText, row.waitsAgain ? StringEntry::tryAgain : StringEntry::ok);
        EXPECT_EQ(b.rightText, row.waitsAgain ? StringEntry::exit : StringEntry::cancel);
        EXPECT_EQ(b.rightVisible, row.waitsAgain);
        EXPECT_EQ(MixersEndScreen::message(outcome), row.message);
    }
}

TEST_F(MixersScreenTest, TheNumberOfMixersKeepsWithinOneToSixtyFourByItsArrowKeys)
{
    MixersChoice choice;
    juce::Slider& number = choice.getNumber();
    EXPECT_TRUE(number.getWantsKeyboardFocus());
    EXPECT_EQ(choice.getMixers(), 1);
    using K = juce::KeyPress;
    const int rows[][3] = {{1, K::upKey, 2},    {1, K::downKey, 1}, {63, K::upKey, 64},
                           {64, K::upKey, 64},  {2, K::leftKey, 1}, {0, K::rightKey, 2},
                           {65, K::downKey, 63}};
    for (const auto& row : rows)
    {
        choice.setMixers(row[0]);
        number.keyPressed(K(row[1]));
        EXPECT_EQ(choice.getMixers(), row[2]) << row[0];
    }
    // Return goes on to the screen (START).
    EXPECT_FALSE(number.keyPressed(K(K::returnKey)));
    // Eight rows show at once, more scroll: the window stays on a 1024 x 768 screen.
    EXPECT_EQ(MixersPanel::heightFor(8), MixersPanel::heightFor(64));
    EXPECT_LE(MixersPanel::heightFor(64) + 58 + 44 + 40, 768);
}
} // namespace
