// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/ResultBox.h"

ResultBox::ResultBox(const juce::String& title, const juce::String& message,
                     const juce::String& button, juce::Component* associated,
                     HeldKeys::KeyDown keyDown)
    : juce::AlertWindow(title, message, juce::MessageBoxIconType::NoIcon, associated),
      heldKeys(std::move(keyDown))
{
    addButton(button, 0, juce::KeyPress(juce::KeyPress::escapeKey),
              juce::KeyPress(juce::KeyPress::returnKey));

    heldKeys.onNoneHeld = [this] { enableButton(true); };
    heldKeys.note();
    if (heldKeys.any())
        enableButton(false);
}

void ResultBox::enableButton(bool enabled)
{
    for (auto* child : getChildren())
        if (auto* b = dynamic_cast<juce::Button*>(child))
            b->setEnabled(enabled);
}

void ResultBox::show(const juce::String& message, const juce::String& button,
                     juce::Component* associated, HeldKeys::KeyDown keyDown,
                     std::function<void()> afterwards)
{
    auto* box = new ResultBox({}, message, button, associated, std::move(keyDown));
    box->removeFromDesktop();
    box->addToDesktop();
    box->enterModalState(
        true, juce::ModalCallbackFunction::create([afterwards](int) { afterwards(); }), true);
}

bool ResultBox::keyPressed(const juce::KeyPress& key)
{
    return heldKeys.isHeld(key) || juce::AlertWindow::keyPressed(key);
}

bool ResultBox::keyStateChanged(bool isKeyDown)
{
    if (!isKeyDown)
        heldKeys.released();
    return false;
}

void ResultBox::focusLost(FocusChangeType)
{
    if (!hasKeyboardFocus(true))
        heldKeys.clear();
}
