// KVR516_UPDATE, GPL-3.0-or-later.
// The screens and the update procedure's transitions, with the three stages
// replaced by scripted ones: each returns the code the test gives it, at once
// or only once the worker has been asked to stop.
#include "ControllerHarness.h"

#include "platform/LocaleQuery.h"
#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <memory>

namespace
{
using Events = std::vector<std::string>;

const char* const title = "KVR Firmware Downloader";
const char* const chooseText = "Please choose a language used.";
const char* const introText =
    "This software downloads the firmware for KVR.\nIf you want to update KVR-516helix, push "
    "START.\nIf you don't want to update KVR-516helix, push EXIT.";
const char* const waitingText = "Waiting from KVR-516helix connection.";
const char* const sendingText = "KVR-516helix Connected.\nSending the firmware.";
const char* const finishText =
    "Finish sending the firmware.\nExit this download software.\nplease confirm a screen on "
    "KVR-516helix, and reboot after the end.\n";

class BothLanguages : public LocaleQuery
{
public:
    std::vector<std::string> installedLocaleIds() override { return {"00000409", "00000411"}; }
    std::uint16_t userDefaultLanguageId() override { return 0x0409; }
};

// What the stage of each worker phase does when it runs.
struct StageScript
{
    std::array<std::atomic<int>, 6> code{};
    // The stage returns only once the worker has been asked to stop.
    std::array<std::atomic<bool>, 6> untilStopped{};
    std::array<std::atomic<int>, 6> runs{};
    // The stage returns only once the test lets it, stop or no stop.
    std::array<std::atomic<bool>, 6> held{};
    std::atomic<bool> sawStop{false};

    int operator()(int phase, juce::Thread& worker)
    {
        ++runs[static_cast<size_t>(phase)];
        while (held[static_cast<size_t>(phase)])
            worker.wait(5);
        if (untilStopped[static_cast<size_t>(phase)])
        {
            while (!worker.threadShouldExit())
                worker.wait(5);
            sawStop = worker.threadShouldExit();
        }
        return code[static_cast<size_t>(phase)];
    }
};

class MainComponentTest : public ::testing::Test
{
protected:
    // A system with both languages installed and an English-speaking user.
    void SetUp() override { TxtLoader::setLocaleQuery(std::make_shared<BothLanguages>()); }
    void TearDown() override
    {
        ui.reset();
        TxtLoader::setLocaleQuery(nullptr);
    }

    // prepare: what the window does to the component before its first screen.
    void start(const std::function<void(MainComponent&)>& prepare = {})
    {
        MainComponent::Hooks hooks = ui->recordingHooks();
        // The script speaks in phase numbers and stage codes.
        hooks.stage = [this](Phase phase, juce::Thread& worker)
        { return static_cast<StageResult>((*script)(static_cast<int>(phase), worker)); };
        ui->start(std::move(hooks), prepare);
        ui->chooseLanguage(0);
    }

    // From the language screen to the given phase, every stage succeeding,
    // the stage of a worker phase target held until it is stopped.
    void reach(int target)
    {
        start();
        for (int p : {1, 3, 4})
            if (p == target)
                script->untilStopped[static_cast<size_t>(p)] = true;

        while (ui->phase() < target)
        {
            const int before = ui->phase();
            if (before == 0 || before == 2)
                ui->pressLeft();
            ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() > before; }));
        }
        ASSERT_EQ(ui->phase(), target);
        ASSERT_TRUE(ui->events().empty());
    }

    // The stage of worker phase p ends on its own with code; the result
    // arrives through the message loop.
    void finishStageWith(int p, int code)
    {
        script->code[static_cast<size_t>(p)] = code;
        // The send stage follows a connect stage that succeeds.
        reach(p == 1 ? 0 : 2);
        ui->pressLeft();
    }

    // A new run, as a new start of the program.
    void fresh()
    {
        ui.reset();
        script = std::make_unique<StageScript>();
        ui = std::make_unique<ControllerHarness>();
    }

    std::unique_ptr<StageScript> script = std::make_unique<StageScript>();
    std::unique_ptr<ControllerHarness> ui = std::make_unique<ControllerHarness>();
};

void expectScreen(const ControllerHarness::Screen& s, const std::string& message,
                  const std::string& left, bool leftVisible, const std::string& right,
                  bool rightVisible, bool langsVisible)
{
    EXPECT_EQ(s.title, title);
    EXPECT_EQ(s.accessibleTitle, title);
    EXPECT_EQ(s.message, message);
    EXPECT_EQ(s.leftVisible, leftVisible);
    EXPECT_EQ(s.rightVisible, rightVisible);
    // A shown button is never disabled, a hidden one always.
    EXPECT_EQ(s.leftEnabled, leftVisible);
    EXPECT_EQ(s.rightEnabled, rightVisible);
    if (leftVisible)
    {
        EXPECT_EQ(s.left, left);
    }
    if (rightVisible)
    {
        EXPECT_EQ(s.right, right);
    }
    EXPECT_EQ(s.langsVisible, langsVisible);
}
} // namespace

//==============================================================================
// Screens

TEST_F(MainComponentTest, StartsOnTheLanguageScreen)
{
    start();
    EXPECT_EQ(ui->phase(), 0);
    expectScreen(ui->screen(), chooseText, "OK", true, "Cancel", true, true);
    EXPECT_TRUE(ui->events().empty());
}

TEST_F(MainComponentTest, ChoosingJapaneseSwitchesEveryTextAtOnceAndBack)
{
    start();
    ASSERT_TRUE(TxtLoader::getInstance()->isLanguageAvailable(1));

    ui->chooseLanguage(1);
    const auto s = ui->screen();
    EXPECT_EQ(ui->phase(), 0);
    EXPECT_EQ(s.title, title);
    EXPECT_EQ(s.message, "ご使用になる言語を選択してください。");
    EXPECT_EQ(s.left, "OK");
    EXPECT_EQ(s.right, "中断");
    EXPECT_TRUE(s.langsVisible);

    ui->chooseLanguage(0);
    expectScreen(ui->screen(), chooseText, "OK", true, "Cancel", true, true);
}

TEST_F(MainComponentTest, SelectorListsEachLanguageByItsOwnName)
{
    start();
    EXPECT_EQ(ui->languageItems(), (std::vector<std::string>{"English 1", "日本語 2"}));
}

TEST_F(MainComponentTest, WithoutJapaneseTheSelectorListsOnlyEnglish)
{
    class OnlyEnglish : public LocaleQuery
    {
    public:
        std::vector<std::string> installedLocaleIds() override { return {"00000409"}; }
        std::uint16_t userDefaultLanguageId() override { return 0x0411; }
    };
    TxtLoader::setLocaleQuery(std::make_shared<OnlyEnglish>());
    start();
    EXPECT_EQ(ui->languageItems(), std::vector<std::string>{"English 1"});
    expectScreen(ui->screen(), chooseText, "OK", true, "Cancel", true, true);
}

TEST_F(MainComponentTest, AJapaneseUserStartsInJapanese)
{
    class JapaneseUser : public LocaleQuery
    {
    public:
        std::vector<std::string> installedLocaleIds() override { return {"00000409", "00000411"}; }
        std::uint16_t userDefaultLanguageId() override { return 0x0411; }
    };
    TxtLoader::setLocaleQuery(std::make_shared<JapaneseUser>());
    MainComponent::Hooks hooks = ui->recordingHooks();
    ui->start(std::move(hooks));
    EXPECT_EQ(ui->screen().message, "ご使用になる言語を選択してください。");
    EXPECT_EQ(ui->screen().right, "中断");
}

TEST_F(MainComponentTest, JapaneseStaysForTheRestOfTheRun)
{
    start();
    ASSERT_TRUE(TxtLoader::getInstance()->isLanguageAvailable(1));
    ui->chooseLanguage(1);
    ui->pressLeft();
    ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() == 2; }));
    const auto s = ui->screen();
    EXPECT_EQ(s.left, "開始");
    EXPECT_EQ(s.right, "終了");
    EXPECT_FALSE(s.langsVisible);
}

TEST_F(MainComponentTest, InitialiseScreenShowsNothingButTheLogo)
{
    reach(1);
    expectScreen(ui->screen(), "", "", false, "", false, false);
    ui->pressClose();
}

TEST_F(MainComponentTest, WholeRunShowsEachScreenAndNoBox)
{
    reach(0);
    ui->pressLeft();
    ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() == 2; }));
    expectScreen(ui->screen(), introText, "START", true, "EXIT", true, false);

    script->untilStopped[3] = false;
    ui->pressLeft();
    ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() == 5; }));
    expectScreen(ui->screen(), finishText, "OK", true, "", false, false);
    EXPECT_EQ(script->runs[1], 1);
    EXPECT_EQ(script->runs[3], 1);
    EXPECT_EQ(script->runs[4], 1);
    EXPECT_TRUE(ui->events().empty());

    ui->pressLeft();
    EXPECT_EQ(ui->phase(), 6);
    EXPECT_EQ(ui->events(), Events{"quit"});
}

// One mixer keeps the 480 x 200 panel and a failed send's box; several grow
// the panel at START, and a mixer's failed send ends on the end screen with
// no box and no quit.
TEST_F(MainComponentTest, SeveralMixersGrowThePanelAndEndOnTheEndScreenWithoutABox)
{
    for (const int mixers : {1, 3, 64})
    {
        SCOPED_TRACE(mixers);
        reach(2);
        ui->component().setMixers(mixers);
        script->code[4] = 3;
        script->untilStopped[3] = false;
        ui->pressLeft();
        ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() >= 5; }));
        ui->pumpPending();
        EXPECT_EQ(ui->events(), (mixers == 1 ? Events{"box 34", "quit"} : Events{}));
        EXPECT_EQ(ui->component().getWidth(), mixers == 1 ? 480 : 640);
        EXPECT_LE(ui->component().getHeight(), 700);
        if (mixers > 1)
            expectScreen(ui->screen(), "0 of " + std::to_string(mixers) + " mixers finished", "OK",
                         true, "", false, false);
        fresh();
    }
}

// A second try (--retry): the checked file must be the one its mixers were
// sent. Another ends with its box, nothing announced; that one goes from the
// check straight on to the wait, on the screens of several mixers.
TEST_F(MainComponentTest, ASecondTryGoesOnOnlyWithTheFileItsMixersWereSent)
{
    for (const bool same : {false, true})
    {
        SCOPED_TRACE(same);
        script->untilStopped[3] = true;
        start(
            [same](MainComponent& c)
            {
                c.retry({"198.51.100.22"}, [same](const juce::File&, const juce::String&)
                        { return same ? juce::String() : juce::String("another file"); });
            });
        ui->pressLeft();
        if (!same)
        {
            ASSERT_TRUE(ui->pumpUntil([&] { return ui->quitCount() > 0; }));
            EXPECT_EQ(ui->events(), (Events{"box 74", "quit"}));
            EXPECT_TRUE(ui->component().hasRefusedTheFile());
            EXPECT_EQ(script->runs[3], 0);
        }
        else
        {
            ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() == 3; }));
            EXPECT_TRUE(ui->component().hasSeveralMixers());
            EXPECT_FALSE(ui->component().hasRefusedTheFile());
            EXPECT_EQ(ui->component().getProcedure().getMixersWanted(), 1);
            ui->pressClose();
        }
        fresh();
    }
}

TEST_F(MainComponentTest, WaitingScreenShowsOnlyCancel)
{
    reach(3);
    expectScreen(ui->screen(), waitingText, "", false, "Cancel", true, false);
    EXPECT_EQ(ui->screen().details, ""); // nothing before the stage's first listing or reading
}

TEST_F(MainComponentTest, SendingScreenShowsOnlyCancel)
{
    reach(4);
    expectScreen(ui->screen(), sendingText, "", false, "Cancel", true, false);
    EXPECT_EQ(ui->screen().details, ""); // nothing before the stage's first listing or reading
}

//==============================================================================
// The keyboard

TEST_F(MainComponentTest, KeysPressOnlyTheButtonsTheScreenShows)
{
    const juce::KeyPress enter(juce::KeyPress::returnKey);
    const juce::KeyPress escape(juce::KeyPress::escapeKey);
    const juce::KeyPress space(juce::KeyPress::spaceKey);
    const juce::KeyPress down(juce::KeyPress::downKey);
    struct Row
    {
        int phase;
        juce::KeyPress key;
        const char* focused; // "" for the component itself
        bool used;
        Events events;
        int phaseAfter;
    };
    const Row rows[] = {
        {0, enter, "", true, {}, 1},              // OK
        {0, escape, "", true, {"quit"}, 6},       // Cancel
        {0, enter, "langs", true, {}, 1},         // OK, from the selector
        {0, down, "langs", false, {}, 0},         // the selector's own
        {0, enter, "button2", true, {"quit"}, 6}, // the focused Cancel
        {1, enter, "", false, {}, 1},
        {1, escape, "", false, {}, 1},
        {2, enter, "", true, {}, 3},        // START
        {2, space, "button1", true, {}, 3}, // the focused START
        {2, escape, "", true, {"quit"}, 6}, // EXIT
        {3, enter, "", false, {}, 3},       // the hidden START
        {3, escape, "", true, {"box 12", "quit"}, 6},
        {4, enter, "", false, {}, 4},
        {4, escape, "", true, {"box 13", "quit"}, 6},
        {5, enter, "", true, {"quit"}, 6}, // OK
        {5, escape, "", false, {}, 5},     // the hidden Cancel
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::to_string(row.phase) + " " + row.key.getTextDescription().toStdString() +
                     " " + row.focused);
        reach(row.phase);
        EXPECT_EQ(ui->pressKey(row.key, row.focused), row.used);
        EXPECT_EQ(ui->phase(), row.phaseAfter);
        EXPECT_EQ(ui->events(), row.events);
        fresh();
    }
}

// A quick double press (or an assistive press) queues a second click; it
// arrives on the connect stage's screen, whose START is hidden.
TEST_F(MainComponentTest, AQueuedClickOnAButtonNoLongerShownDoesNothing)
{
    reach(2);
    script->untilStopped[3] = true;
    ui->queueClick("button1");
    ui->queueClick("button1");
    ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() == 3; }));
    ui->pumpPending();
    EXPECT_EQ(ui->phase(), 3);
    EXPECT_TRUE(ui->events().empty());
    EXPECT_EQ(script->runs[3], 1);
    EXPECT_EQ(script->runs[4], 0);
}

// Return held on the language screen: its auto-repeat reaches the next
// screens as new presses, and presses nothing there until it is let go.
TEST_F(MainComponentTest, AKeyHeldFromTheScreenBeforePressesNothingUntilLetGo)
{
    const juce::KeyPress enter(juce::KeyPress::returnKey);
    script->untilStopped[3] = true;
    start();
    ui->holdKey(enter, true);
    ASSERT_TRUE(ui->pressKey(enter));
    ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() == 2; }));

    EXPECT_TRUE(ui->pressKey(enter)); // used up
    EXPECT_TRUE(ui->pressKey(enter, "button1"));
    EXPECT_EQ(ui->phase(), 2);

    // Let go and pressed at once: a repeat as X11 may report it.
    ui->holdKey(enter, false);
    ui->holdKey(enter, true);
    EXPECT_TRUE(ui->pressKey(enter));
    EXPECT_EQ(ui->phase(), 2);

    // Let go for good: a new press is START.
    ui->holdKey(enter, false);
    ASSERT_TRUE(ui->pumpUntil(
        [&]
        {
            ui->holdKey(enter, true);
            ui->pressKey(enter);
            ui->holdKey(enter, false);
            return ui->phase() == 3;
        }));
    EXPECT_TRUE(ui->events().empty());
}

//==============================================================================
// Ways out without a stage

TEST_F(MainComponentTest, CancelOnTheLanguageScreenQuitsWithoutABox)
{
    start();
    ui->pressRight();
    EXPECT_EQ(ui->phase(), 6);
    EXPECT_EQ(ui->events(), Events{"quit"});
    EXPECT_EQ(script->runs[1], 0);
}

TEST_F(MainComponentTest, ExitOnTheReadyScreenQuitsWithoutABox)
{
    reach(2);
    ui->pressRight();
    EXPECT_EQ(ui->phase(), 6);
    EXPECT_EQ(ui->events(), Events{"quit"});
    EXPECT_EQ(script->runs[3], 0);
}

TEST_F(MainComponentTest, CloseButtonOnScreensWithoutAStageQuitsWithoutABox)
{
    for (int p : {0, 2, 5})
    {
        SCOPED_TRACE(p);
        reach(p);
        const ControllerHarness::Screen before = ui->screen();
        ui->pressClose();
        EXPECT_EQ(ui->phase(), 6);
        EXPECT_EQ(ui->events(), Events{"quit"});
        // The screen of the phase left stays as it was.
        EXPECT_EQ(ui->screen().message, before.message);
        fresh();
    }
}

//==============================================================================
// Stage results

TEST_F(MainComponentTest, InitialiseFailureShowsItsCodedMessageThenQuits)
{
    for (int code : {4, 5, 6, 9})
    {
        SCOPED_TRACE(code);
        finishStageWith(1, code);
        ASSERT_TRUE(ui->pumpUntil([&] { return ui->quitCount() > 0; }));
        EXPECT_EQ(ui->events(), (Events{"box " + std::to_string(13 + code), "quit"}));
        EXPECT_EQ(ui->phase(), 6);
        // The window still shows the interrupted phase's screen.
        expectScreen(ui->screen(), "", "", false, "", false, false);
        fresh();
    }
}

TEST_F(MainComponentTest, InitialiseFailureTextsAreTheCodedOnes)
{
    finishStageWith(1, 4);
    ASSERT_TRUE(ui->pumpUntil([&] { return ui->quitCount() > 0; }));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Cannot find the UpdateFile_I4"});
}

TEST_F(MainComponentTest, EveryCodeOfEveryStageHasItsEntry)
{
    struct Case
    {
        int phase;
        int firstEntry;
    };
    for (Case c : {Case{1, 13}, Case{3, 22}, Case{4, 31}})
        for (int code = 1; code <= 9; ++code)
        {
            SCOPED_TRACE(std::to_string(c.phase) + "/" + std::to_string(code));
            finishStageWith(c.phase, code);
            ASSERT_TRUE(ui->pumpUntil([&] { return ui->quitCount() > 0; }));
            EXPECT_EQ(ui->events(), (Events{"box " + std::to_string(c.firstEntry + code), "quit"}));
            fresh();
        }
}

TEST_F(MainComponentTest, ConnectFailureTextsAreTheCodedOnes)
{
    finishStageWith(3, 1);
    ASSERT_TRUE(ui->pumpUntil([&] { return ui->quitCount() > 0; }));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Cannot connect the MIXER_C1"});
    EXPECT_EQ(ui->screen().message, waitingText);
}

TEST_F(MainComponentTest, SendFailureTextsAreTheCodedOnes)
{
    finishStageWith(4, 3);
    ASSERT_TRUE(ui->pumpUntil([&] { return ui->quitCount() > 0; }));
    EXPECT_EQ(ui->boxTexts(),
              std::vector<std::string>{"A problem occurred while sending the file_S3"});
    EXPECT_EQ(ui->screen().message, sendingText);
}

TEST_F(MainComponentTest, ResultsOutsideTheCodesQuitWithoutAWord)
{
    for (int p : {1, 3, 4})
        for (int code : {10, -2, 1000, std::numeric_limits<int>::min()})
        {
            SCOPED_TRACE(std::to_string(p) + "/" + std::to_string(code));
            finishStageWith(p, code);
            ASSERT_TRUE(ui->pumpUntil([&] { return ui->quitCount() > 0; }));
            EXPECT_EQ(ui->events(), Events{"quit"});
            EXPECT_EQ(ui->phase(), 6);
            fresh();
        }
}

//==============================================================================
// Cancels

TEST_F(MainComponentTest, CloseDuringInitialiseWaitsForTheStageAndShowsItsCancel)
{
    // The stage answers the stop as the real one does.
    script->code[1] = static_cast<int>(StageResult::cancelled);
    reach(1);
    ui->pressClose();
    EXPECT_TRUE(script->sawStop);
    EXPECT_EQ(ui->phase(), 6);
    EXPECT_EQ(ui->events(), (Events{"box 11", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Initialize cancel."});
}

// The stop comes while the stage ends on its own, with success or with a
// failure (a listener that fails as the user cancels): the cancel wins.
TEST_F(MainComponentTest, ACancelWinsOverTheResultOfTheStageItStopped)
{
    struct Stage
    {
        int phase;
        const char* box;
        const char* text;
    };
    for (const Stage& stage :
         {Stage{1, "box 11", "Initialize cancel."}, Stage{3, "box 12", "Connecting cancel."},
          Stage{4, "box 13", "Sending cancel."}})
        for (int code : {0, 2})
        {
            SCOPED_TRACE(std::string(stage.text) + " code " + std::to_string(code));
            script->code[static_cast<size_t>(stage.phase)] = code;
            reach(stage.phase);
            ui->pressClose();
            EXPECT_TRUE(script->sawStop);
            EXPECT_EQ(ui->events(), (Events{stage.box, "quit"}));
            EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{stage.text});
            fresh();
        }
}

TEST_F(MainComponentTest, CancelOrCloseWhileWaitingShowsConnectingCancel)
{
    for (bool close : {false, true})
    {
        SCOPED_TRACE(close);
        reach(3);
        if (close)
            ui->pressClose();
        else
            ui->pressRight();
        EXPECT_TRUE(script->sawStop);
        EXPECT_EQ(ui->phase(), 6);
        EXPECT_EQ(ui->events(), (Events{"box 12", "quit"}));
        EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Connecting cancel."});
        EXPECT_EQ(ui->screen().message, waitingText);
        ui->pumpPending();
        EXPECT_EQ(ui->events(), (Events{"box 12", "quit"}));
        EXPECT_EQ(script->runs[4], 0);
        fresh();
    }
}

TEST_F(MainComponentTest, CancelOrCloseWhileSendingShowsSendingCancel)
{
    for (bool close : {false, true})
    {
        SCOPED_TRACE(close);
        reach(4);
        if (close)
            ui->pressClose();
        else
            ui->pressRight();
        EXPECT_TRUE(script->sawStop);
        EXPECT_EQ(ui->events(), (Events{"box 13", "quit"}));
        EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Sending cancel."});
        ui->pumpPending();
        EXPECT_EQ(ui->events(), (Events{"box 13", "quit"}));
        fresh();
    }
}

//==============================================================================
// A result that arrives after the user has cancelled

TEST_F(MainComponentTest, FailureBeforeTheCancelShowsTheCodeAndTheLateResultNothing)
{
    script->code[3] = 2;
    reach(2);
    ui->pressLeft();
    // The stage has ended; its result waits in the message queue.
    ASSERT_TRUE(ui->waitForWorker());
    ASSERT_EQ(ui->phase(), 3);
    ui->component().abortAndQuit();
    EXPECT_EQ(ui->events(), (Events{"box 24", "quit"}));
    ui->pumpPending();
    ui->pumpPending();
    EXPECT_EQ(ui->events(), (Events{"box 24", "quit"}));
    EXPECT_EQ(ui->phase(), 6);
}

TEST_F(MainComponentTest, SuccessBeforeTheCancelShowsNothingAndStartsNoStage)
{
    for (int p : {1, 3, 4})
    {
        SCOPED_TRACE(p);
        const auto stage = static_cast<size_t>(p);
        script->held[stage] = true;
        reach(p == 1 ? 0 : 2);
        ui->pressLeft();
        ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() == p; }));
        // The stage ends with success; its result waits in the message queue.
        script->held[stage] = false;
        ASSERT_TRUE(ui->waitForWorker());
        ui->component().abortAndQuit();
        EXPECT_EQ(ui->events(), Events{"quit"});
        ui->pumpPending();
        ui->pumpPending();
        EXPECT_EQ(ui->phase(), 6);
        // A second quit request at most; never a box, never a new stage.
        const auto after = ui->events();
        EXPECT_TRUE(after == Events{"quit"} || after == (Events{"quit", "quit"}));
        EXPECT_EQ(script->runs[stage], 1);
        if (p != 4)
        {
            EXPECT_EQ(script->runs[static_cast<size_t>(p == 1 ? 3 : 4)], 0);
        }
        fresh();
    }
}

//==============================================================================
// The closing phase

TEST_F(MainComponentTest, NothingNewHappensOnceClosing)
{
    reach(2);
    ui->pressRight();
    ASSERT_EQ(ui->events(), Events{"quit"});

    ui->pressClose();
    ui->component().abortAndQuit();
    EXPECT_EQ(ui->events(), Events{"quit"});

    // The buttons still show the last screen; pressing them changes nothing
    // but a second quit request at most.
    ui->pressLeft();
    EXPECT_EQ(ui->phase(), 6);
    EXPECT_LE(ui->quitCount(), 2);
    for (const auto& e : ui->events())
        EXPECT_EQ(e, "quit");
    EXPECT_EQ(script->runs[3], 0);
}

TEST_F(MainComponentTest, DestroyingDuringAStageStopsItWithoutABoxOrQuit)
{
    for (int p : {3, 4})
    {
        SCOPED_TRACE(p);
        reach(p);
        ui->destroy();
        EXPECT_TRUE(script->sawStop);
        EXPECT_TRUE(ui->events().empty());
        fresh();
    }
}
