// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/MainWindow.h"

#include "app/AppIcon.h"
#include "app/FixedSizeHints.h"
#include "ui/MainComponent.h"

MainWindow::MainWindow(const juce::File& programFile)
    : juce::DocumentWindow("KVR516_UPDATE", juce::Colour(0xFFD3D3D3),
                           juce::DocumentWindow::minimiseButton | juce::DocumentWindow::closeButton,
                           false)
{
    // The native title bar is chosen before the window is sized and shown,
    // so that the size asked for is the content's own.
    setUsingNativeTitleBar(true);
    setResizable(false, false);
    // Whenever the window becomes active the keyboard goes on to its content,
    // which handles the keys, rather than staying with the window itself.
    setWantsKeyboardFocus(false);

    MainComponent::Hooks hooks;
    hooks.programFile = programFile;
    mainComponent = new MainComponent(std::move(hooks));
    setContentOwned(mainComponent, true);
    fitContent();
    centreWithSize(getWidth(), getHeight());

    // The native window is made only now, once, at its place and size. Made
    // earlier, it would be remade by each of the calls above, and JUCE would
    // show it at once (at its first 128 x 128 at the screen's corner) to
    // resize it afterwards: a window manager could then keep the first size,
    // and JUCE take it back from the server as its own.
    addToDesktop();
    setVisible(true);
    if (auto* peer = getPeer())
    {
        peer->setIcon(AppIcon::create(128));
        FixedSizeHints::apply(*peer);
    }
    startTimer(200);

    mainComponent->advancePhase();
}

MainWindow::~MainWindow()
{
    stopTimer();
    clearContentComponent();
}

void MainWindow::closeButtonPressed()
{
    mainComponent->abortAndQuit();
}

void MainWindow::timerCallback()
{
    if (auto* peer = getPeer())
        FixedSizeHints::apply(*peer);
    if (++hintRounds >= 5)
        stopTimer();
}

// The panel is 480 × 200, but its buttons reach further down: the content area
// is made tall enough to show every widget whole.
void MainWindow::fitContent()
{
    int width = mainComponent->getWidth();
    int height = mainComponent->getHeight();
    for (auto* child : mainComponent->getChildren())
    {
        width = juce::jmax(width, child->getRight());
        height = juce::jmax(height, child->getBottom());
    }
    setContentComponentSize(width, height);
}
