// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "ui/HeldKeys.h"
#include "update/MixersOutcome.h"
#include "update/Phase.h"
#include "update/UpdateProcedure.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class AlineButton;
class MixersChoice;
class MixersPanel;
class StageDetails;
class BtnLookAndFeel;
class LanguageSelector;

// The main window's content: the logo, one message, the language selector and
// two push buttons, showing one of six screens chosen by the phase. It leads
// the user through one update: the phase moves on with the left button or a
// stage that succeeded; the stages of phases 1 (initialise), 3 (connect) and
// 4 (send) are the UpdateProcedure's, one stage per start. Every way out
// (failure, cancel, EXIT, the close button, the last OK) ends with a request
// to quit the application, after the stage's result box if it has one.
//
// The keyboard: the component takes it with each new screen. Return presses
// the left button and Escape the right one wherever shown; Tab and Shift+Tab
// move among the selector, the shown buttons and the ready screen's number
// of mixers (after the buttons; its arrow keys change it); a focused button is pressed
// by Return or Space. A key held since before the screen (or a result box)
// appeared presses nothing there until let go (HeldKeys). A hidden button is
// disabled too, so a click queued for it (triggerClick) does nothing.
//
// Several mixers: the ready screen's choice (MixersChoice) says how many the
// update waits for. Above one, START makes the panel taller to hold a row
// per mixer (MixersPanel); a mixer that fails ends its row alone, and the
// send stage ends on the end screen, never with a box. There, where some
// failed, the left button waits again for those alone (a new update that
// takes only their addresses), the right one ends.
class MainComponent : public juce::Component,
                      public juce::AsyncUpdater,
                      public juce::Button::Listener,
                      public juce::KeyListener
{
public:
    // What the window and its update reach outside. Every member left empty
    // means the real thing; tests fill in their own.
    struct Hooks : UpdateProcedure::Hooks
    {
        // Shows a message box in place of the modal alert window; it returns
        // as the dismissed box does.
        std::function<void(int messageEntry, int buttonEntry)> messageBox;
        // Requests the application's quit in place of JUCEApplication::quit.
        std::function<void()> quit;
        // Whether a key (a KeyPress key code) is held down now, in place of
        // KeyPress::isKeyCurrentlyDown.
        std::function<bool(int keyCode)> keyDown;
    };

    MainComponent();
    explicit MainComponent(Hooks hooks);
    ~MainComponent() override;

    // Leaves the current phase for the next one.
    void advancePhase();
    // Ends the update from any phase 0 to 5 and requests quit.
    void abortAndQuit();

    // Applies the current phase's screen in the current language.
    void refreshTexts();

    Phase getPhase() const noexcept { return phase.load(); }
    // How many mixers the ready screen offers to wait for (--mixers).
    void setMixers(int mixers);
    // Whether the update under way is for several mixers.
    bool hasSeveralMixers() const noexcept { return severalMixers; }
    UpdateProcedure& getProcedure() noexcept { return *procedure; }
    const UpdateProcedure& getProcedure() const noexcept { return *procedure; }

    // Why the checked update file (its SHA-256) cannot be sent on a second
    // try; empty when it can.
    using FileRefusal =
        std::function<juce::String(const juce::File& file, const juce::String& sha256)>;
    // A second try for the mixers of an earlier run (--retry), called before
    // the first screen: once the check has found a file that whyNot lets
    // through, the wait for those addresses alone on the screens of several
    // mixers, as TRY AGAIN waits, with no ready screen between. Another file
    // ends the update with a box before anything is announced.
    void retry(const juce::StringArray& addresses, FileRefusal whyNot);
    // Whether a second try found another update file than its mixers were sent.
    bool hasRefusedTheFile() const noexcept { return refusedTheFile; }
    // The last stage started (Phase::notShown: none); its result is the procedure's.
    Phase getLastStage() const noexcept { return lastStage; }
    // Several mixers: the account of every wait so far (TRY AGAIN), each
    // mixer at its last try.
    MixersOutcome getMixersOutcome() const;

    void paint(juce::Graphics& g) override;
    void resized() override;
    void handleAsyncUpdate() override;
    void buttonClicked(juce::Button* button) override;
    bool keyPressed(const juce::KeyPress& key) override;
    // The keys of the selector and the buttons, before their own handling.
    bool keyPressed(const juce::KeyPress& key, juce::Component* origin) override;
    bool keyStateChanged(bool isKeyDown) override;
    void focusLost(FocusChangeType cause) override;
    void focusOfChildComponentChanged(FocusChangeType cause) override;

private:
    // One screen: string entries of the title, the message and both buttons,
    // and which buttons are shown. A hidden left button marks a worker phase.
    struct PhaseScreen
    {
        int title, message, leftText, rightText;
        bool leftVisible, rightVisible;
    };

    static const PhaseScreen phaseScreens[6];
    // The bounds of the widgets, for one mixer or for several.
    void layOut();
    static bool isWorkerPhase(Phase p) noexcept;

    // Clicks button from the keyboard if the current screen shows it; false
    // when it does not.
    bool pressIfShown(AlineButton& button);
    bool isKeyDown(int keyCode) const;

    // The result box: shows the message of the last stage's result, if it
    // has one, and runs afterwards once the box has been dismissed; returns
    // false, having shown nothing and run nothing, when there is none.
    using Afterwards = std::function<void()>;
    bool showResult(Phase stage, Afterwards afterwards);
    void showMessage(int messageEntry, int buttonEntry, Afterwards afterwards);
    // The quit request, as something a box can run once this component has gone.
    Afterwards quitRequest() const;

    // Several mixers: START's update for the number chosen; the end screen's
    // account, in the record once the user leaves it; the wait again for the
    // mixers that failed, with a new update of their own.
    void startMixers();
    void followMixers(bool several);
    void noteMixersOutcome() const;
    void tryAgain();
    // A second try's check has found another file: its box, then the end.
    bool refusesTheFile();

    Hooks hooks;

    std::atomic<Phase> phase{Phase::notShown};
    Phase shownPhase = Phase::notShown; // the phase whose screen is shown
    HeldKeys heldKeys;

    std::unique_ptr<BtnLookAndFeel> btnLookAndFeel;
    std::unique_ptr<LanguageSelector> langs;
    std::unique_ptr<juce::Label> messageLabel;
    std::unique_ptr<AlineButton> button1;
    std::unique_ptr<AlineButton> button2;

    // Made last, released first: its worker is stopped before anything else goes.
    std::unique_ptr<UpdateProcedure> procedure;
    std::unique_ptr<StageDetails> details; // beneath the message: what the stage is doing

    std::unique_ptr<MixersChoice> mixersChoice; // on the ready screen
    std::unique_ptr<MixersPanel> mixersPanel;   // in place of details for several mixers
    bool severalMixers = false;
    bool tryingAgain = false;  // the check of a wait again, which goes straight on to it
    FileRefusal whyNotTheFile; // a second try's (--retry)
    bool refusedTheFile = false;
    Phase lastStage = Phase::notShown;
    std::map<juce::String, int> earlierTries; // of each mixer tried again, its tries before
    // The updates before a wait again, kept as they are (their connections) until the end.
    std::vector<std::unique_ptr<UpdateProcedure>> earlierUpdates;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainComponent)
};
