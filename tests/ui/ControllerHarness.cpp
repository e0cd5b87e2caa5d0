// KVR516_UPDATE, GPL-3.0-or-later.
#include "ControllerHarness.h"
#include "support/MessagePump.h"

#include "resources/AlineButton.h"
#include "resources/TxtLoader.h"
#include "ui/StageDetails.h"

ControllerHarness::ControllerHarness() = default;

ControllerHarness::~ControllerHarness()
{
    destroy();
}

MainComponent::Hooks ControllerHarness::recordingHooks()
{
    MainComponent::Hooks hooks;
    hooks.messageBox = [this](int messageEntry, int buttonEntry)
    {
        const TxtLoader* txt = TxtLoader::getInstance();
        std::lock_guard<std::mutex> lock(mutex);
        recorded.push_back("box " + std::to_string(messageEntry));
        texts.push_back(txt->getString(messageEntry).toStdString());
        // Every box has the one button "OK".
        if (buttonEntry != 2)
            recorded.push_back("button " + std::to_string(buttonEntry));
    };
    hooks.keyDown = [this](int keyCode) { return keysDown.count(keyCode) > 0; };
    hooks.quit = [this]
    {
        std::lock_guard<std::mutex> lock(mutex);
        recorded.push_back("quit");
    };
    return hooks;
}

void ControllerHarness::start(MainComponent::Hooks hooks,
                              const std::function<void(MainComponent&)>& prepare)
{
    main = std::make_unique<MainComponent>(std::move(hooks));
    if (prepare)
        prepare(*main);
    window.setSize(480, 209);
    window.addAndMakeVisible(*main);
    main->advancePhase();
}

void ControllerHarness::destroy()
{
    main.reset();
}

juce::Component* ControllerHarness::child(const juce::String& name) const
{
    for (auto* c : main->getChildren())
        if (c->getName() == name)
            return c;
    return nullptr;
}

ControllerHarness::Screen ControllerHarness::screen() const
{
    Screen s;
    s.title = window.getName().toStdString();
    s.accessibleTitle = window.getTitle().toStdString();
    if (auto* label = dynamic_cast<juce::Label*>(child("Message Label")))
        s.message = label->getText().toStdString();
    for (auto* c : main->getChildren())
        if (auto* details = dynamic_cast<StageDetails*>(c))
            s.details = details->getText().toStdString();
    if (auto* left = dynamic_cast<juce::Button*>(child("button1")))
    {
        s.left = left->getButtonText().toStdString();
        s.leftVisible = left->isVisible();
        s.leftEnabled = left->isEnabled();
    }
    if (auto* right = dynamic_cast<juce::Button*>(child("button2")))
    {
        s.right = right->getButtonText().toStdString();
        s.rightVisible = right->isVisible();
        s.rightEnabled = right->isEnabled();
    }
    if (auto* langs = child("langs"))
        s.langsVisible = langs->isVisible();
    return s;
}

std::vector<std::string> ControllerHarness::languageItems() const
{
    std::vector<std::string> items;
    if (auto* langs = dynamic_cast<juce::ComboBox*>(child("langs")))
        for (int i = 0; i < langs->getNumItems(); ++i)
            items.push_back(langs->getItemText(i).toStdString() + " " +
                            std::to_string(langs->getItemId(i)));
    return items;
}

void ControllerHarness::chooseLanguage(int language)
{
    auto* langs = dynamic_cast<juce::ComboBox*>(child("langs"));
    if (langs != nullptr)
        langs->setSelectedId(language + 1, juce::sendNotificationSync);
}

void ControllerHarness::pressLeft()
{
    if (auto* left = dynamic_cast<juce::Button*>(child("button1")))
        if (left->isVisible())
            main->buttonClicked(left);
}

void ControllerHarness::pressRight()
{
    if (auto* right = dynamic_cast<juce::Button*>(child("button2")))
        if (right->isVisible())
            main->buttonClicked(right);
}

bool ControllerHarness::pressKey(const juce::KeyPress& key, const juce::String& focused)
{
    if (focused.isEmpty())
        return main->keyPressed(key);
    return main->keyPressed(key, child(focused));
}

void ControllerHarness::holdKey(const juce::KeyPress& key, bool down)
{
    if (down)
        keysDown.insert(key.getKeyCode());
    else
        keysDown.erase(key.getKeyCode());
    main->keyStateChanged(down);
}

void ControllerHarness::queueClick(const juce::String& button)
{
    if (auto* b = dynamic_cast<juce::Button*>(child(button)))
        b->triggerClick();
}

bool ControllerHarness::pumpUntil(const std::function<bool()>& pred, int timeoutMs)
{
    return MessagePump::until(pred, timeoutMs);
}

void ControllerHarness::pumpPending()
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
}

bool ControllerHarness::waitForWorker(int timeoutMs)
{
    return main->getProcedure().waitUntilStageEnded(timeoutMs);
}

std::vector<std::string> ControllerHarness::events() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return recorded;
}

std::vector<std::string> ControllerHarness::boxTexts() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return texts;
}

int ControllerHarness::quitCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    int n = 0;
    for (const auto& e : recorded)
        if (e == "quit")
            ++n;
    return n;
}
