// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/MainWindow.h"

#include "app/AppIcon.h"
#include "app/FixedSizeHints.h"
#include "ui/MainComponent.h"
#include "ui/MixersChoice.h"

static_assert(MixersChoice::maxMixers == CommandLine::maxMixers,
              "the window offers as many mixers as --mixers takes");

MainWindow::MainWindow(const CommandLine::Settings& settings, const RetryList::List& retry)
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
    hooks.programFile = settings.programFile;
    mainComponent = new MainComponent(std::move(hooks));
    mainComponent->setMixers(settings.mixers);
    if (!retry.addresses.isEmpty())
        mainComponent->retry(retry.addresses,
                             [retry](const juce::File& file, const juce::String& sha256)
                             { return RetryList::whyNotTheFile(retry, file, sha256); });
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
    mainComponent->addComponentListener(this);

    mainComponent->advancePhase();
}

MainWindow::~MainWindow()
{
    stopTimer();
    mainComponent->removeComponentListener(this);
    clearContentComponent();
}

void MainWindow::stopUpdate()
{
    mainComponent->getProcedure().stop();
}

void MainWindow::closeButtonPressed()
{
    mainComponent->abortAndQuit();
}

// The content grows once, as START sets out for several mixers.
void MainWindow::componentMovedOrResized(juce::Component&, bool, bool wasResized)
{
    if (!wasResized)
        return;
    fitContent();
    centreWithSize(getWidth(), getHeight());
    if (auto* peer = getPeer())
        FixedSizeHints::apply(*peer);
    hintRounds = 0;
    startTimer(200);
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
