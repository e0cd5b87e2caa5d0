// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "ui/MainComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// Drives a MainComponent as the window does, on the test's own message
// thread, and records what the user would see instead of showing it: the
// message boxes (by entry and by text) and the requests to quit.
class ControllerHarness
{
public:
    // What the user sees in the window.
    struct Screen
    {
        std::string title;
        // The window's title as assistive technology hears it.
        std::string accessibleTitle;
        std::string message;
        std::string details; // the line beneath the message
        std::string left;
        std::string right;
        bool leftVisible = false;
        bool rightVisible = false;
        bool leftEnabled = false;
        bool rightEnabled = false;
        bool langsVisible = false;
    };

    ControllerHarness();
    ~ControllerHarness();

    // The hooks that record boxes and quit requests; the test adds its own.
    MainComponent::Hooks recordingHooks();

    // Builds the component inside a parent that stands for the window and
    // starts it as the window does (phase -1 to 0), after prepare if given.
    void start(MainComponent::Hooks hooks, const std::function<void(MainComponent&)>& prepare = {});
    // Destroys the component, as the window's deletion at shut-down does.
    void destroy();

    MainComponent& component() { return *main; }
    // The phase by its number.
    int phase() const { return static_cast<int>(main->getPhase()); }
    Screen screen() const;

    // The items of the language selector, in order.
    std::vector<std::string> languageItems() const;
    // Chooses a language in the selector as a user does (index 0 or 1).
    void chooseLanguage(int language);
    // A click on a shown button, handled at once as the button's listener.
    void pressLeft();
    void pressRight();
    void pressClose() { main->abortAndQuit(); }
    // A key pressed while the named widget has the keyboard's focus, as the
    // component hears it of that widget; with no name, of the component
    // itself. Whether the key was used.
    bool pressKey(const juce::KeyPress& key, const juce::String& focused = {});
    // Holds a key down or lets it go, as the keyboard's state says; letting
    // go is reported to the component as the window reports it.
    void holdKey(const juce::KeyPress& key, bool down);
    // A click queued on the named button, as its accessibility "press" and a
    // quick double press queue one; it arrives through the message loop.
    void queueClick(const juce::String& button);

    // Runs the message loop until pred holds; false after timeoutMs.
    bool pumpUntil(const std::function<bool()>& pred, int timeoutMs = 20000);
    // Runs the message loop for a short while, to let pending messages arrive.
    void pumpPending();
    // Waits, without running the message loop, until the worker has ended.
    bool waitForWorker(int timeoutMs = 20000);

    // Every box and quit request so far, in order: "box <entry>" or "quit".
    std::vector<std::string> events() const;
    // The message texts of the boxes, in the language current when shown.
    std::vector<std::string> boxTexts() const;
    int quitCount() const;

private:
    juce::Component* child(const juce::String& name) const;

    juce::Component window;
    std::unique_ptr<MainComponent> main;

    mutable std::mutex mutex;
    std::vector<std::string> recorded;
    std::vector<std::string> texts;
    std::set<int> keysDown;
};
