// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/MainComponent.h"

#include "net/Broadcast.h"
#include "net/DiagnosticLog.h"
#include "net/Listener.h"
#include "net/NetworkSetup.h"
#include "net/Update.h"
#include "net/UpdateFile.h"
#include "resources/AlineButton.h"
#include "resources/BtnLookAndFeel.h"
#include "resources/ImageLoader.h"
#include "resources/LangLookAndFeel.h"
#include "resources/TxtLoader.h"
#include "resources/TypefaceLookAndFeel.h"

namespace
{
const juce::Colour panelColour(0xFFEFEBDE);

const juce::Rectangle<int> langsBounds(280, 140, 190, 24);
const juce::Rectangle<int> messageBounds(80, 20, 390, 110);
const juce::Rectangle<int> button1Bounds(220, 185, 120, 24);
const juce::Rectangle<int> button2Bounds(350, 185, 120, 24);

// Stage results.
constexpr int success = 0;
constexpr int cancelled = -1;
constexpr int running = -1; // status of a network thread still at work

constexpr int pollMs = 10;

// The code of a stage whose thread cannot be started: "_I3", "_C3" or "_S4",
// which the stages report for nothing else.
int threadNotStarted(int stagePhase)
{
    return stagePhase == 4 ? 4 : 3;
}

// The stage's name and its result as the diagnostic log gives them.
juce::String describeResult(int stagePhase, int result)
{
    const char* stage = stagePhase == 1 ? "initialise" : stagePhase == 3 ? "connect" : "send";
    const char* letter = stagePhase == 1 ? "I" : stagePhase == 3 ? "C" : "S";
    juce::String text = juce::String(stage) + " stage ended: ";
    if (result == success)
        return text + "ok";
    if (result == cancelled)
        return text + "cancelled";
    return text + "_" + letter + juce::String(result);
}
} // namespace

// clang-format off
const MainComponent::PhaseScreen MainComponent::phaseScreens[6] = {
    // title, message, left text, right text, left visible, right visible
    {1,  6, 2, 4, true,  true},  // 0 language choice
    {1,  0, 0, 0, false, false}, // 1 initialise
    {1,  7, 3, 5, true,  true},  // 2 ready
    {1,  8, 3, 4, false, true},  // 3 connect
    {1,  9, 3, 4, false, true},  // 4 send
    {1, 10, 2, 4, true,  false}, // 5 finished
};
// clang-format on

MainComponent::MainComponent() : MainComponent(Hooks{}) {}

MainComponent::MainComponent(Hooks h) : juce::Thread("KVR516_UPDATE"), hooks(std::move(h))
{
    if (hooks.programFile == juce::File())
        hooks.programFile = UpdateFile::thisProgram();

    TxtLoader* txt = TxtLoader::getInstance();
    ImageLoader::getInstance();

    langLookAndFeel = std::make_unique<LangLookAndFeel>();
    btnLookAndFeel = std::make_unique<BtnLookAndFeel>();

    langs = std::make_unique<juce::ComboBox>("langs");
    addAndMakeVisible(*langs);
    langs->setLookAndFeel(langLookAndFeel.get());
    langs->addListener(this);
    langs->setWantsKeyboardFocus(false);
    for (int language = 0; language < 2; ++language)
        if (txt->isLanguageAvailable(language))
            langs->addItem(txt->getLanguageName(language), language + 1);

    messageLabel = std::make_unique<juce::Label>("Message Label", juce::String());
    addAndMakeVisible(*messageLabel);
    messageLabel->setFont(juce::Font(13.0f, juce::Font::plain));
    messageLabel->setJustificationType(juce::Justification::topLeft);
    messageLabel->setEditable(false, false, false);

    button1 = std::make_unique<AlineButton>("button1");
    button2 = std::make_unique<AlineButton>("button2");
    for (auto* button : {button1.get(), button2.get()})
    {
        addAndMakeVisible(*button);
        button->addListener(this);
        button->setFontStyle(juce::Font::bold);
        button->setColour(juce::TextButton::buttonColourId, panelColour);
        button->setColour(juce::TextButton::buttonOnColourId, panelColour);
        button->setConnectedEdges(juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight |
                                  juce::Button::ConnectedOnTop | juce::Button::ConnectedOnBottom);
        button->setLookAndFeel(btnLookAndFeel.get());
    }

    setSize(480, 200);
}

MainComponent::~MainComponent()
{
    phase = 6;
    stopThread(-1);

    langs.reset();
    langLookAndFeel.reset();
    messageLabel.reset();
    button1.reset();
    button2.reset();
    btnLookAndFeel.reset();

    TxtLoader::deleteInstance();
    ImageLoader::deleteInstance();

    // The stages have released their threads; what is left is a stopped
    // broadcast, the mixer's connection and the interface list.
    update.reset();
    listener.reset();
    broadcast.reset();
    connectedSocket.reset();
    setup.reset();
}

bool MainComponent::isWorkerPhase(int p) noexcept
{
    return p >= 0 && p <= 5 && !phaseScreens[p].leftVisible;
}

//==============================================================================
// The screen

void MainComponent::paint(juce::Graphics& g)
{
    g.fillAll(panelColour);

    const juce::Image* logo = ImageLoader::getInstance()->getImage(0);
    if (logo != nullptr && logo->isValid())
        g.drawImage(*logo, 20, 15, logo->getWidth(), logo->getHeight(), 0, 0, logo->getWidth(),
                    logo->getHeight());
}

void MainComponent::resized()
{
    langs->setBounds(langsBounds);
    messageLabel->setBounds(messageBounds);
    button1->setBounds(button1Bounds);
    button2->setBounds(button2Bounds);
}

void MainComponent::refreshTexts()
{
    const int p = phase;
    if (p < 0 || p > 5)
        return;

    TxtLoader* txt = TxtLoader::getInstance();
    const juce::String fontName = txt->getCurrentFontName();
    TypefaceLookAndFeel::setDefaultSansSerifName(fontName);

    const PhaseScreen& screen = phaseScreens[p];

    if (auto* parent = getParentComponent())
        parent->setName(txt->getString(screen.title));

    if (p == 0)
    {
        langs->setVisible(true);
        langs->setSelectedId(txt->getLanguage() + 1, juce::sendNotificationAsync);
        // A JUCE font keeps the typeface it was first drawn with, and a label
        // keeps its font when given an equal one: the selector's label gets
        // another font first, so that the one it is laid out with is new and
        // drawn in the current language's typeface.
        for (auto* c : langs->getChildren())
            if (auto* label = dynamic_cast<juce::Label*>(c))
                label->setFont(juce::Font());
        langs->resized();
    }
    else
    {
        langs->setVisible(false);
    }

    // Named rather than the default sans-serif: a font equal to the label's
    // current one would keep that one's typeface (see above).
    messageLabel->setFont(juce::Font(fontName, 12.8f, juce::Font::plain));
    messageLabel->setText(txt->getString(screen.message), juce::dontSendNotification);

    button1->setFontName(fontName);
    button1->setText(txt->getString(screen.leftText));
    button1->setVisible(screen.leftVisible);

    button2->setFontName(fontName);
    button2->setText(txt->getString(screen.rightText));
    button2->setVisible(screen.rightVisible);
}

void MainComponent::comboBoxChanged(juce::ComboBox* comboBox)
{
    if (comboBox != langs.get())
        return;

    TxtLoader* txt = TxtLoader::getInstance();
    const int id = langs->getSelectedId();
    if (id == txt->getLanguage() + 1)
        return;

    // Only listed languages can be chosen; any other id changes nothing.
    if (id < 1 || id > 2 || !txt->isLanguageAvailable(id - 1))
        return;

    txt->setLanguage(id - 1);
    refreshTexts();
}

//==============================================================================
// The update procedure, on the message thread

void MainComponent::advancePhase()
{
    const int previous = phase;
    if (previous < 6)
        phase = previous + 1;

    stopThread(-1);

    // What follows the result box of the phase left, once it is dismissed.
    // A stage that moves on by this way has succeeded and shows no box.
    auto enterPhase = [this]
    {
        if (phase > 5)
        {
            quitRequest()();
            return;
        }

        refreshTexts();
        if (isWorkerPhase(phase))
        {
            stagePhase = phase.load();
            if (!startStageThread(*this))
            {
                // Reported the way a failed stage's result is: through the result handler.
                result = threadNotStarted(stagePhase);
                DiagnosticLog::line(describeResult(stagePhase, result) +
                                    " (its thread cannot be started)");
                triggerAsyncUpdate();
            }
        }
    };

    if (isWorkerPhase(previous) && showResult(previous, phase > 5 ? quitRequest() : enterPhase))
        return;

    enterPhase();
}

void MainComponent::abortAndQuit()
{
    const int previous = phase;
    if (previous < 0 || previous > 5)
        return;

    phase = 6;
    stopThread(-1);

    // Quit is requested once the box, if any, has been dismissed.
    if (isWorkerPhase(previous) && showResult(previous, quitRequest()))
        return;

    quitRequest()();
}

void MainComponent::buttonClicked(juce::Button* button)
{
    if (button == button1.get())
        advancePhase();
    else if (button == button2.get())
        abortAndQuit();
}

void MainComponent::handleAsyncUpdate()
{
    const int r = result;
    if (r == cancelled)
        return;

    if (r == success)
        advancePhase();
    else
        abortAndQuit();
}

bool MainComponent::showResult(int stagePhase, Afterwards afterwards)
{
    switch (stagePhase)
    {
    case 1:
        return showInitialiseResult(std::move(afterwards));
    case 3:
        return showConnectResult(std::move(afterwards));
    case 4:
        return showSendResult(std::move(afterwards));
    default:
        return false;
    }
}

bool MainComponent::showInitialiseResult(Afterwards afterwards)
{
    return showResultMessage(13, 11, std::move(afterwards));
}

bool MainComponent::showConnectResult(Afterwards afterwards)
{
    return showResultMessage(22, 12, std::move(afterwards));
}

bool MainComponent::showSendResult(Afterwards afterwards)
{
    return showResultMessage(31, 13, std::move(afterwards));
}

// Codes 1 to 9 show entry firstCodeEntry + code, a cancel shows cancelEntry;
// success and any other value show nothing.
bool MainComponent::showResultMessage(int firstCodeEntry, int cancelEntry, Afterwards afterwards)
{
    const int r = result;
    if (r >= 1 && r <= 9)
        showMessage(firstCodeEntry + r, 2, std::move(afterwards));
    else if (r == cancelled)
        showMessage(cancelEntry, 2, std::move(afterwards));
    else
        return false;
    return true;
}

// The box is modal to the whole program; it is run asynchronously, so that
// it never nests a message loop inside the handler that asked for it (in
// JUCE 7 on Linux a quit requested after such a nested loop can be lost).
void MainComponent::showMessage(int messageEntry, int buttonEntry, Afterwards afterwards)
{
    if (hooks.messageBox)
    {
        hooks.messageBox(messageEntry, buttonEntry);
        afterwards();
        return;
    }

    const TxtLoader* txt = TxtLoader::getInstance();
    juce::AlertWindow::showMessageBoxAsync(
        juce::MessageBoxIconType::NoIcon, txt->getString(0), txt->getString(messageEntry),
        txt->getString(buttonEntry), this,
        juce::ModalCallbackFunction::create([afterwards](int) { afterwards(); }));
}

MainComponent::Afterwards MainComponent::quitRequest() const
{
    if (hooks.quit)
        return hooks.quit;
    return [] { juce::JUCEApplicationBase::quit(); };
}

//==============================================================================
// The stages, on the worker thread

void MainComponent::run()
{
    if (hooks.workerStarted)
        hooks.workerStarted();

    result = success;

    // The phase the stage was started for: a cancel may already have moved
    // phase on, and the stage it interrupts is still to run and be reported.
    int r = success;
    const int p = stagePhase;
    if (isWorkerPhase(p))
    {
        if (hooks.stage)
            r = hooks.stage(p, *this);
        else if (p == 1)
            r = runInitialise();
        else if (p == 3)
            r = runConnect();
        else
            r = runSend();
    }

    if (threadShouldExit())
        r = cancelled;

    if (isWorkerPhase(p))
        DiagnosticLog::line(describeResult(p, r));

    result = r;
    triggerAsyncUpdate();
}

bool MainComponent::startStageThread(juce::Thread& thread)
{
    if (hooks.startThread)
        return hooks.startThread(thread);
    return thread.startThread();
}

int MainComponent::runInitialise()
{
    std::unique_ptr<InterfaceQuery> query =
        hooks.interfaceQuery ? hooks.interfaceQuery() : InterfaceQuery::createForPlatform();
    setup = std::make_unique<NetworkSetup>(hooks.programFile, *query);
    return setup->getResult();
}

int MainComponent::runConnect()
{
    broadcast = std::make_unique<Broadcast>(*setup);
    if (!startStageThread(*broadcast))
    {
        broadcast.reset();
        return threadNotStarted(3);
    }
    const int broadcastStatus = broadcast->getStatus();
    if (broadcastStatus != running)
        return broadcastStatus;

    listener = std::make_unique<::Listener>();
    if (!startStageThread(*listener))
    {
        listener.reset();
        broadcast.reset();
        return threadNotStarted(3);
    }
    const int listenerStatus = listener->getStatus();
    if (listenerStatus == 1 || listenerStatus == 2)
        return listenerStatus;

    for (;;)
    {
        const int s = listener->getStatus();
        if (s == 0)
        {
            connectedSocket.reset(listener->getConnectedSocket());
            broadcast->stopThread(-1);
            listener.reset();
            return success;
        }

        // The announcing has ended with a failure (2 or 4): no mixer can find
        // the computer any more, so the wait ends with the announcer's code
        // rather than going on for ever.
        const int b = broadcast->getStatus();
        const bool announcingFailed = b != running && b != Broadcast::stopped;

        if (s != running || announcingFailed || threadShouldExit())
        {
            broadcast.reset();
            listener.reset();
            if (s != running)
                return s;
            return announcingFailed ? b : cancelled;
        }

        wait(pollMs);
    }
}

int MainComponent::runSend()
{
    update = std::make_unique<Update>(connectedSocket.get(), hooks.programFile);
    if (!startStageThread(*update))
    {
        update.reset();
        return threadNotStarted(4);
    }

    int s = running;
    for (;;)
    {
        s = update->getStatus();
        if (s != running || threadShouldExit())
            break;
        wait(pollMs);
    }

    update.reset();
    return s;
}
