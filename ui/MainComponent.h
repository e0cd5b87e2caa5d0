// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/InterfaceQuery.h"
#include "ui/Phase.h"
#include "ui/StageResult.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class AlineButton;
class Broadcast;
class BtnLookAndFeel;
class LangLookAndFeel;
class Listener;
class NetworkSetup;
class Update;

// The main window's content: the logo, one message, the language selector and
// two push buttons, showing one of six screens chosen by the phase. It also
// leads the user through one update: the phase moves on with the left button
// or a stage that succeeded; the stages of phases 1 (initialise), 3 (connect)
// and 4 (send) run on the component's own thread, one stage per start. Every
// way out (failure, cancel, EXIT, the close button, the last OK) ends with a
// request to quit the application.
//
// The keyboard: the component takes it whenever a new screen is shown. Return
// presses the left button and Escape the right one wherever it is shown; Tab
// and Shift+Tab move among the selector and the shown buttons, and a button
// that has the keyboard's focus is pressed by Return or Space. A key that was
// already held down when the screen changed presses nothing on the new one
// (its auto-repeat comes as new presses) until it has been let go. A button
// that is hidden is disabled too, and a click that arrives after the screen
// no longer shows its button (one that triggerClick queued) does nothing.
class MainComponent : public juce::Component,
                      public juce::Thread,
                      public juce::AsyncUpdater,
                      public juce::ComboBox::Listener,
                      public juce::Button::Listener,
                      public juce::KeyListener,
                      private juce::Timer
{
public:
    // What the update reaches outside the window. Every member left empty
    // means the real thing; tests fill in their own.
    struct Hooks
    {
        // The program beside which the update file lies (default: this program).
        juce::File programFile;
        // The interface list of the initialise and connect stages (default: the platform's).
        std::function<std::unique_ptr<InterfaceQuery>()> interfaceQuery;
        // Called first on the worker thread each time a stage starts.
        std::function<void()> workerStarted;
        // Runs in place of the stage of worker phase 1, 3 or 4; it is given the
        // worker, whose stop request it is to honour, and returns the result.
        std::function<StageResult(Phase phase, juce::Thread& worker)> stage;
        // Shows a message box in place of the modal alert window; it returns
        // as the dismissed box does.
        std::function<void(int messageEntry, int buttonEntry)> messageBox;
        // Requests the application's quit in place of JUCEApplication::quit.
        std::function<void()> quit;
        // Starts a thread of the update (the worker, Broadcast, Listener or
        // Update) in place of Thread::startThread; returns whether it runs.
        std::function<bool(juce::Thread& thread)> startThread;
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

    void paint(juce::Graphics& g) override;
    void resized() override;
    void run() override;
    void handleAsyncUpdate() override;
    void comboBoxChanged(juce::ComboBox* comboBox) override;
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
        int title;
        int message;
        int leftText;
        int rightText;
        bool leftVisible;
        bool rightVisible;
    };

    static const PhaseScreen phaseScreens[6];
    static bool isWorkerPhase(Phase p) noexcept;

    // Clicks button from the keyboard if the current screen shows it; false
    // when it does not.
    bool pressIfShown(AlineButton& button);

    // The keys that press buttons and were held down when the screen last
    // changed: each is left out of the keyboard until it has been let go.
    void noteHeldKeys();
    void forgetReleasedKeys();
    bool isHeldFromAnotherScreen(const juce::KeyPress& key) const;
    // A moment after a release: forgets the held keys that are still up.
    void timerCallback() override;
    bool isKeyDown(int keyCode) const;

    // Starts thread, through the hook when there is one; false when it does not run.
    bool startStageThread(juce::Thread& thread);

    // The interface list of the stages, through the hook when there is one.
    std::unique_ptr<InterfaceQuery> makeInterfaceQuery() const;

    StageResult runInitialise();
    StageResult runConnect();
    // Releases the connect stage's threads (Broadcast first) and returns r.
    StageResult endConnect(StageResult r);
    StageResult runSend();

    // The result boxes: each shows the message of the last stage's result,
    // if it has one, and runs afterwards once the box has been dismissed; it
    // returns false, having shown nothing and run nothing, when there is none.
    using Afterwards = std::function<void()>;
    bool showResult(Phase stage, Afterwards afterwards);
    bool showInitialiseResult(Afterwards afterwards);
    bool showConnectResult(Afterwards afterwards);
    bool showSendResult(Afterwards afterwards);
    bool showResultMessage(Phase stage, Afterwards afterwards);
    void showMessage(int messageEntry, int buttonEntry, Afterwards afterwards);
    // The quit request, as something a box can run once this component has gone.
    Afterwards quitRequest() const;

    Hooks hooks;

    std::atomic<Phase> phase{Phase::notShown};
    std::atomic<StageResult> result{StageResult::success};
    Phase stagePhase = Phase::notShown; // set before each start of the worker, read by it
    Phase shownPhase = Phase::notShown; // the phase whose screen is shown
    std::vector<int> heldKeys;          // key codes, see noteHeldKeys

    std::unique_ptr<LangLookAndFeel> langLookAndFeel;
    std::unique_ptr<BtnLookAndFeel> btnLookAndFeel;
    std::unique_ptr<juce::ComboBox> langs;
    std::unique_ptr<juce::Label> messageLabel;
    std::unique_ptr<AlineButton> button1;
    std::unique_ptr<AlineButton> button2;

    // Made and used by the worker only, released after it has stopped.
    std::unique_ptr<Broadcast> broadcast;
    std::unique_ptr<::Listener> listener; // the network class, not a widget listener
    std::unique_ptr<juce::StreamingSocket> connectedSocket;
    std::unique_ptr<Update> update;
    std::unique_ptr<NetworkSetup> setup;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainComponent)
};
