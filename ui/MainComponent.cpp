// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/MainComponent.h"

#include "record/DiagnosticLog.h"
#include "record/RunRecord.h"
#include "resources/AlineButton.h"
#include "resources/BtnLookAndFeel.h"
#include "resources/ImageLoader.h"
#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"
#include "resources/TypefaceLookAndFeel.h"
#include "ui/LanguageSelector.h"
#include "ui/MixersChoice.h"
#include "ui/MixersEndScreen.h"
#include "ui/MixersPanel.h"
#include "ui/ResultBox.h"
#include "ui/ResultMessages.h"
#include "ui/StageDetails.h"

namespace
{
using E = StringEntry;

const juce::Colour panelColour(0xFFEFEBDE);

const juce::Rectangle<int> langsBounds(280, 140, 190, 24);
const juce::Rectangle<int> messageBounds(80, 20, 390, 110);
const juce::Rectangle<int> detailsBounds(80, 58, 390, 122);
const juce::Rectangle<int> button1Bounds(220, 185, 120, 24);
const juce::Rectangle<int> button2Bounds(350, 185, 120, 24);
// The ready screen's choice of how many mixers, where the selector is on the
// language screen.
const juce::Rectangle<int> mixersChoiceBounds(250, 140, 220, 24);

// Several mixers: a wider panel, as tall as its rows need; the message above
// them two lines high, the buttons beneath them.
constexpr int severalWidth = 640;
const juce::Rectangle<int> severalMessageBounds(80, 20, severalWidth - 90, 38);
constexpr int severalPanelTop = 58;
constexpr int severalButtonsGap = 10;

// The phases with a screen are 0 to 5, in order: each its own screen's index.
bool hasScreen(Phase p) noexcept
{
    return p >= Phase::language && p <= Phase::finished;
}

Phase nextPhase(Phase p) noexcept
{
    return p < Phase::ended ? static_cast<Phase>(static_cast<std::int32_t>(p) + 1) : Phase::ended;
}

// The run's record: the language the user leaves the language screen in, and
// the screens' names for a quit without a message.
void recordLanguage()
{
    const TxtLoader* txt = TxtLoader::getInstance();
    RunRecord::noteLanguage(txt->getLanguageName(txt->getLanguage()));
}

// The ready screen's line of the file that START sends: its name and size,
// as the check measured it (none before a check that read it).
juce::String updateFileLine(const UpdateProcedure& procedure)
{
    const juce::int64 size = procedure.getUpdateFileSize();
    if (size < 0)
        return {};
    return "\n" + TxtLoader::getInstance()
                      ->getString(StringEntry::updateFileToSend)
                      .replace("%2", juce::String(static_cast<double>(size) / 1.0e6, 1))
                      .replace("%1", procedure.getUpdateFile().getFileName());
}

const char* const screenNames[6] = {"language", "checking", "ready",
                                    "waiting",  "sending",  "finish"};
} // namespace

// clang-format off
const MainComponent::PhaseScreen MainComponent::phaseScreens[6] = {
    // title, message, left text, right text, left visible, right visible
    {E::windowTitle, E::chooseLanguage,  E::ok,    E::cancel, true,  true},  // 0 language choice
    {E::windowTitle, E::empty,           E::empty, E::empty,  false, false}, // 1 initialise
    {E::windowTitle, E::introduction,    E::start, E::exit,   true,  true},  // 2 ready
    {E::windowTitle, E::waitingForMixer, E::start, E::cancel, false, true},  // 3 connect
    {E::windowTitle, E::sending,         E::start, E::cancel, false, true},  // 4 send
    {E::windowTitle, E::finished,        E::ok,    E::cancel, true,  false}, // 5 finished
};
// clang-format on

MainComponent::MainComponent() : MainComponent(Hooks{}) {}

MainComponent::MainComponent(Hooks h)
    : hooks(std::move(h)), heldKeys([this](int code) { return isKeyDown(code); })
{
    TxtLoader::getInstance();
    ImageLoader::getInstance();

    btnLookAndFeel = std::make_unique<BtnLookAndFeel>();

    langs = std::make_unique<LanguageSelector>();
    addAndMakeVisible(*langs);
    langs->addKeyListener(this);
    langs->onLanguageChosen = [this] { refreshTexts(); };

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
        button->addKeyListener(this);
        button->setFontStyle(juce::Font::bold);
        button->setColour(juce::TextButton::buttonColourId, panelColour);
        button->setColour(juce::TextButton::buttonOnColourId, panelColour);
        button->setConnectedEdges(juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight |
                                  juce::Button::ConnectedOnTop | juce::Button::ConnectedOnBottom);
        button->setLookAndFeel(btnLookAndFeel.get());
        button->setMouseClickGrabsKeyboardFocus(false);
    }

    // Holds the keyboard itself, so that Return and Escape work on every screen.
    setWantsKeyboardFocus(true);
    setFocusContainerType(juce::Component::FocusContainerType::keyboardFocusContainer);

    mixersChoice = std::make_unique<MixersChoice>();
    addChildComponent(*mixersChoice);
    // Tab: the selector first, then the buttons; the ready screen's number
    // of mixers comes after them, so that START stays the first stop.
    langs->setExplicitFocusOrder(1);
    button1->setExplicitFocusOrder(2);
    button2->setExplicitFocusOrder(3);
    mixersChoice->setExplicitFocusOrder(4);

    procedure = std::make_unique<UpdateProcedure>(hooks, [this] { triggerAsyncUpdate(); });
    details = std::make_unique<StageDetails>(*procedure);
    addAndMakeVisible(*details);
    mixersPanel = std::make_unique<MixersPanel>();
    addChildComponent(*mixersPanel);

    setSize(480, 200);
}

MainComponent::~MainComponent()
{
    phase = Phase::ended;
    mixersPanel.reset();
    details.reset();
    procedure.reset();
    earlierUpdates.clear();
    mixersChoice.reset();

    langs.reset();
    messageLabel.reset();
    button1.reset();
    button2.reset();
    btnLookAndFeel.reset();

    TxtLoader::deleteInstance();
    ImageLoader::deleteInstance();
}

bool MainComponent::isWorkerPhase(Phase p) noexcept
{
    return hasScreen(p) && !phaseScreens[static_cast<int>(p)].leftVisible;
}

//==============================================================================
// The screen

void MainComponent::paint(juce::Graphics& g)
{
    g.fillAll(panelColour);

    const juce::Image* logo = ImageLoader::getInstance()->getImage(0);
    if (logo != nullptr && logo->isValid())
        g.drawImageAt(*logo, 20, 15);
}

void MainComponent::resized()
{
    langs->setBounds(langsBounds);
    mixersChoice->setBounds(mixersChoiceBounds);
    details->setBounds(detailsBounds);
    if (!severalMixers)
    {
        messageLabel->setBounds(messageBounds);
        button1->setBounds(button1Bounds);
        button2->setBounds(button2Bounds);
        return;
    }
    const int panelHeight = getHeight() - severalPanelTop - severalButtonsGap - 24 - 10;
    messageLabel->setBounds(severalMessageBounds);
    mixersPanel->setBounds(80, severalPanelTop, severalWidth - 90, panelHeight);
    const int buttonsTop = severalPanelTop + panelHeight + severalButtonsGap;
    button1->setBounds(button1Bounds.withPosition(severalWidth - 260, buttonsTop));
    button2->setBounds(button2Bounds.withPosition(severalWidth - 130, buttonsTop));
}

void MainComponent::setMixers(int mixers)
{
    mixersChoice->setMixers(mixers);
}

void MainComponent::refreshTexts()
{
    const Phase p = phase;
    if (!hasScreen(p))
        return;

    TxtLoader* txt = TxtLoader::getInstance();
    const juce::String fontName = txt->getCurrentFontName();
    TypefaceLookAndFeel::setDefaultSansSerifName(fontName);

    const PhaseScreen& screen = phaseScreens[static_cast<int>(p)];

    // The window shows its name as its title and gives its title to
    // assistive technology.
    if (auto* parent = getParentComponent())
    {
        parent->setName(txt->getString(screen.title));
        parent->setTitle(txt->getString(screen.title));
    }
    // Told to assistive technology when the component takes the keyboard.
    setTitle(txt->getString(screen.message));

    langs->setVisible(p == Phase::language);
    if (p == Phase::language)
        langs->refresh(txt->getString(screen.message));
    mixersChoice->setVisible(p == Phase::ready);
    mixersChoice->refresh();

    // Named rather than the default sans-serif: a font equal to the label's
    // current one would keep that one's typeface (see above).
    messageLabel->setFont(juce::Font(fontName, 12.8f, juce::Font::plain));
    juce::String message = txt->getString(screen.message);
    if (p == Phase::finished && procedure->isDeliveryUnconfirmed())
        message = message.trimEnd() + "\n" + txt->getString(StringEntry::finishUnconfirmed);
    if (p == Phase::ready)
        message = message.trimEnd() + updateFileLine(*procedure);
    // Several mixers: the end screen's message and buttons follow from how
    // each mixer ended.
    int leftText = screen.leftText;
    int rightText = screen.rightText;
    bool rightVisible = screen.rightVisible;
    if (severalMixers && p == Phase::finished)
    {
        const MixersOutcome outcome = getMixersOutcome();
        const MixersEndScreen::Buttons b = MixersEndScreen::buttons(outcome);
        message = MixersEndScreen::message(outcome);
        leftText = b.leftText;
        rightText = b.rightText;
        rightVisible = b.rightVisible;
    }
    messageLabel->setText(message, juce::dontSendNotification);

    // A hidden button is disabled too, so that a click queued for it does
    // nothing (JUCE delivers a queued click to an enabled button only).
    button1->setFontName(fontName);
    button1->setText(txt->getString(leftText));
    button1->setEnabled(screen.leftVisible);
    button1->setVisible(screen.leftVisible);

    button2->setFontName(fontName);
    button2->setText(txt->getString(rightText));
    button2->setEnabled(rightVisible);
    button2->setVisible(rightVisible);

    // A new screen takes the keyboard if the window has it, never from another
    // program; a new language leaves it where it is. A window that becomes
    // active gives the keyboard to this component (MainWindow).
    if (p != shownPhase)
    {
        shownPhase = p;
        details->setVisible(!severalMixers);
        mixersPanel->setVisible(severalMixers && p >= Phase::connect);
        details->show(severalMixers ? Phase::notShown : p);
        mixersPanel->show(severalMixers ? p : Phase::notShown);
        if (auto* peer = getPeer(); peer != nullptr && peer->isFocused() && isShowing())
            grabKeyboardFocus();
        heldKeys.note();
    }
}

//==============================================================================
// The update procedure, on the message thread

void MainComponent::advancePhase()
{
    const Phase previous = phase;
    if (previous == Phase::initialise && refusesTheFile())
        return;
    // A wait again for the mixers that failed goes from its check straight on.
    phase = previous == Phase::initialise && tryingAgain ? Phase::connect : nextPhase(previous);
    if (previous == Phase::language)
        recordLanguage();

    procedure->stop();
    if (previous == Phase::ready)
        startMixers();
    // A second try (--retry) shows its rows from the wait on.
    if (previous == Phase::initialise && tryingAgain && !severalMixers)
        followMixers(true);
    if (previous == Phase::finished && severalMixers)
        noteMixersOutcome();

    // What follows the result box of the phase left, once it is dismissed.
    // A stage that moves on by this way has succeeded and shows no box.
    auto enterPhase = [this]
    {
        if (phase == Phase::ended)
        {
            quitRequest()();
            return;
        }

        refreshTexts();
        // Several mixers: the record takes the last end screen's account, as
        // the user leaves it.
        if (phase == Phase::finished && !severalMixers)
        {
            RunRecord::noteOutcome(
                ResultMessages::finishOutcome(procedure->isDeliveryUnconfirmed()));
        }
        if (isWorkerPhase(phase))
        {
            lastStage = phase;
            procedure->start(phase);
        }
    };

    // The sends to several mixers end on the end screen, whatever each's end.
    const bool mixersEnded = severalMixers && previous == Phase::send;
    if (isWorkerPhase(previous) && !mixersEnded &&
        showResult(previous, phase == Phase::ended ? quitRequest() : enterPhase))
        return;

    enterPhase();
}

void MainComponent::abortAndQuit()
{
    const Phase previous = phase;
    if (!hasScreen(previous))
        return;

    phase = Phase::ended;
    procedure->stop();
    if (previous == Phase::language)
        recordLanguage();

    // Quit is requested once the box, if any, has been dismissed.
    if (isWorkerPhase(previous) && showResult(previous, quitRequest()))
        return;

    if (previous == Phase::finished && severalMixers)
        noteMixersOutcome();
    RunRecord::noteOutcome(juce::String("quit without a message on the ") +
                           screenNames[static_cast<int>(previous)] + " screen");
    quitRequest()();
}

void MainComponent::buttonClicked(juce::Button* button)
{
    // A click that arrives once the screen no longer shows its button (a
    // queued one) is not the user's answer to this screen.
    if (!hasScreen(phase) || button == nullptr || !button->isVisible())
        return;

    if (button == button1.get() && phase == Phase::finished && severalMixers &&
        MixersEndScreen::buttons(getMixersOutcome()).rightVisible)
        tryAgain();
    else if (button == button1.get())
        advancePhase();
    else if (button == button2.get())
        abortAndQuit();
}

bool MainComponent::keyPressed(const juce::KeyPress& key)
{
    if (heldKeys.isHeld(key))
        return true;

    // From the component itself Tab goes to the first of the selector and the
    // shown buttons, Shift+Tab to the last; on a screen without them it stays.
    if (key.isKeyCode(juce::KeyPress::tabKey) && hasKeyboardFocus(false))
    {
        const auto order = createKeyboardFocusTraverser()->getAllComponents(this);
        if (!order.empty())
            (key.getModifiers().isShiftDown() ? order.back() : order.front())->grabKeyboardFocus();
        return true;
    }

    if (key == juce::KeyPress::returnKey)
        return pressIfShown(*button1);
    if (key == juce::KeyPress::escapeKey)
        return pressIfShown(*button2);
    return false;
}

bool MainComponent::keyPressed(const juce::KeyPress& key, juce::Component* origin)
{
    // Used up here, before the button's or the selector's own handling.
    if (heldKeys.isHeld(key))
        return true;

    const bool returnKey = key == juce::KeyPress::returnKey;

    // A button that has the keyboard's focus is pressed here rather than by
    // JUCE's click, which would arrive later: a second key then finds the
    // next screen, never the button again.
    for (AlineButton* button : {button1.get(), button2.get()})
        if (origin == button && (returnKey || key == juce::KeyPress::spaceKey))
        {
            pressIfShown(*button);
            return true;
        }

    // The selector keeps its arrow keys; Return presses the left button.
    return origin == langs.get() && returnKey && pressIfShown(*button1);
}

// At once, as a click is.
bool MainComponent::pressIfShown(AlineButton& button)
{
    if (!hasScreen(phase) || !button.isVisible())
        return false;
    buttonClicked(&button);
    return true;
}

bool MainComponent::isKeyDown(int keyCode) const
{
    if (hooks.keyDown)
        return hooks.keyDown(keyCode);
    // Without a window there is no keyboard to ask.
    return getPeer() != nullptr && juce::KeyPress::isKeyCurrentlyDown(keyCode);
}

bool MainComponent::keyStateChanged(bool isKeyDown)
{
    if (!isKeyDown)
        heldKeys.released();
    return false;
}

// A key let go while another window had the keyboard is never reported here:
// once the keyboard has left the window, a held key is forgotten.
void MainComponent::focusLost(FocusChangeType)
{
    if (!hasKeyboardFocus(true))
        heldKeys.clear();
}

void MainComponent::focusOfChildComponentChanged(FocusChangeType cause)
{
    focusLost(cause);
}

void MainComponent::handleAsyncUpdate()
{
    const StageResult r = procedure->getResult();
    // Several mixers' sends end on the end screen unless cancelled.
    const bool mixersEnded = severalMixers && phase == Phase::send;
    if (r == StageResult::success || (mixersEnded && r != StageResult::cancelled))
        advancePhase();
    else if (r != StageResult::cancelled)
        abortAndQuit();
}

// The box of the stage's result (see ResultMessages): a code or a cancel;
// success, any other value and any other phase show nothing.
bool MainComponent::showResult(Phase stage, Afterwards afterwards)
{
    const StageResult result = procedure->getResult();
    const int entry = ResultMessages::entryFor(stage, result);
    if (entry == ResultMessages::none)
        return false;
    const juce::String told = TxtLoader::getInstance()->getString(entry);
    RunRecord::noteOutcome(ResultMessages::outcome(stage, result, told));
    details->showEnd(result != StageResult::cancelled, told);
    if (severalMixers)
        mixersPanel->showEnd(result != StageResult::cancelled);
    showMessage(entry, StringEntry::ok, std::move(afterwards));
    return true;
}

void MainComponent::showMessage(int messageEntry, int buttonEntry, Afterwards afterwards)
{
    if (hooks.messageBox)
    {
        hooks.messageBox(messageEntry, buttonEntry);
        afterwards();
        return;
    }
    const TxtLoader* txt = TxtLoader::getInstance();
    ResultBox::show(
        txt->getString(messageEntry), txt->getString(buttonEntry), this,
        [this](int code) { return isKeyDown(code); }, std::move(afterwards));
}

MainComponent::Afterwards MainComponent::quitRequest() const
{
    if (hooks.quit)
        return hooks.quit;
    return [] { juce::JUCEApplicationBase::quit(); };
}

//==============================================================================
// Several mixers

void MainComponent::startMixers()
{
    const int mixers = mixersChoice->getMixers();
    procedure->setMixersWanted(mixers);
    followMixers(mixers > 1);
}

// The procedure's mixers in the panel; for several, the panel grows to
// hold their rows.
void MainComponent::followMixers(bool several)
{
    severalMixers = several;
    if (severalMixers)
        setSize(severalWidth, severalPanelTop +
                                  MixersPanel::heightFor(procedure->getMixersWanted()) +
                                  severalButtonsGap + button1Bounds.getHeight() + 10);
    mixersPanel->follow(*procedure, earlierTries);
    resized();
}

MixersOutcome MainComponent::getMixersOutcome() const
{
    MixersOutcome whole = MixersOutcome::of(*procedure);
    for (auto earlier = earlierUpdates.rbegin(); earlier != earlierUpdates.rend(); ++earlier)
        whole = MixersOutcome::of(**earlier).followedBy(whole);
    return whole;
}

void MainComponent::noteMixersOutcome() const
{
    const MixersOutcome outcome = getMixersOutcome();
    juce::String text = ResultMessages::mixersSummary(outcome);
    for (const MixersOutcome::Mixer& m : outcome.getMixers())
        if (m.verdict != MixersOutcome::Verdict::finished)
            text << "; " << m.address << ": " << ResultMessages::mixerVerdict(m);
    RunRecord::noteOutcome(text);
}

// A new update for the mixers that failed, from their addresses alone: its
// check, then the wait for them. A mixer that finished and connects again
// is turned away.
void MainComponent::tryAgain()
{
    const juce::StringArray again = getMixersOutcome().getToTryAgain();
    const MixersOutcome round = MixersOutcome::of(*procedure);
    for (const MixersOutcome::Mixer& m : round.getMixers())
        if (again.contains(m.address))
            earlierTries[m.address] += m.attempt;
    DiagnosticLog::line("waiting again for the mixers that failed: " + again.joinIntoString(", "));

    mixersPanel->show(Phase::notShown);
    details.reset();
    earlierUpdates.push_back(std::move(procedure));
    procedure = std::make_unique<UpdateProcedure>(
        hooks, [this] { triggerAsyncUpdate(); }, again.size(), 0, again);
    details = std::make_unique<StageDetails>(*procedure);
    addChildComponent(*details);
    mixersPanel->follow(*procedure, earlierTries);
    resized();

    tryingAgain = true;
    phase = Phase::initialise;
    refreshTexts();
    lastStage = Phase::initialise;
    procedure->start(Phase::initialise);
}

void MainComponent::retry(const juce::StringArray& addresses, FileRefusal whyNot)
{
    whyNotTheFile = std::move(whyNot);
    details.reset();
    procedure = std::make_unique<UpdateProcedure>(
        hooks, [this] { triggerAsyncUpdate(); }, addresses.size(), 0, addresses);
    details = std::make_unique<StageDetails>(*procedure);
    addAndMakeVisible(*details);
    tryingAgain = true;
}

bool MainComponent::refusesTheFile()
{
    if (!whyNotTheFile)
        return false;
    const juce::String why =
        whyNotTheFile(procedure->getUpdateFile(), procedure->getUpdateFileHash());
    if (why.isEmpty())
        return false;
    phase = Phase::ended;
    refusedTheFile = true;
    procedure->stop();
    DiagnosticLog::line(why);
    RunRecord::noteOutcome("refused: " + why);
    showMessage(StringEntry::notTheFileTriedAgain, StringEntry::ok, quitRequest());
    return true;
}
