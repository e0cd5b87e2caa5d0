// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/StageDetails.h"

#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"
#include "ui/NoMixerHint.h"
#include "ui/ProgressText.h"
#include "update/UpdateProcedure.h"

namespace
{
// A bar that tells assistive technology its value as a percentage.
class PercentBar : public juce::ProgressBar
{
public:
    explicit PercentBar(double& value) : juce::ProgressBar(value), shown(value) {}

    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override
    {
        struct Percent : juce::AccessibilityRangedNumericValueInterface
        {
            explicit Percent(const double& v) : value(v) {}
            bool isReadOnly() const override { return true; }
            void setValue(double) override {}
            double getCurrentValue() const override { return juce::roundToInt(value * 100); }
            AccessibleValueRange getRange() const override { return {{0.0, 100.0}, 1.0}; }
            const double& value;
        };
        return std::make_unique<juce::AccessibilityHandler>(
            *this, juce::AccessibilityRole::progressBar, juce::AccessibilityActions{},
            juce::AccessibilityHandler::Interfaces{std::make_unique<Percent>(shown)});
    }

private:
    const double& shown;
};

void announce(const juce::String& text)
{
    juce::AccessibilityHandler::postAnnouncement(
        text, juce::AccessibilityHandler::AnnouncementPriority::medium);
}

double now()
{
    return juce::Time::getMillisecondCounterHiRes();
}
} // namespace

StageDetails::StageDetails(const UpdateProcedure& p) : procedure(p)
{
    bar = std::make_unique<PercentBar>(barValue);
    bar->setPercentageDisplay(false);
    bar->setColour(juce::ProgressBar::backgroundColourId, juce::Colour(0xFFFFFFFF));
    bar->setColour(juce::ProgressBar::foregroundColourId, juce::Colour(0xFF3A6EA5));
    addChildComponent(*bar);

    line.setJustificationType(juce::Justification::topLeft);
    line.setMinimumHorizontalScale(1.0f);
    addAndMakeVisible(line);
    setInterceptsMouseClicks(false, false);
}

StageDetails::~StageDetails()
{
    stopTimer();
}

void StageDetails::resized()
{
    bar->setBounds(0, 0, getWidth(), 14);
    line.setBounds(phase == Phase::send ? getLocalBounds().withTrimmedTop(20) : getLocalBounds());
}

void StageDetails::show(Phase p)
{
    phase = p;
    shownAtMs = now();
    stalled = false;
    line.setFont(
        juce::Font(TxtLoader::getInstance()->getCurrentFontName(), 12.8f, juce::Font::plain));
    bar->setVisible(p == Phase::send);
    resized();
    if (p == Phase::connect || p == Phase::send)
    {
        if (p == Phase::send)
            announce(TxtLoader::getInstance()->getString(StringEntry::sending));
        timerCallback();
        startTimer(refreshMs);
        return;
    }

    stopTimer();
    line.setText({}, juce::dontSendNotification);
    if (p == Phase::finished)
    {
        announce(TxtLoader::getInstance()->getString(StringEntry::finished));
        setTaskbar(TaskbarProgress::State::none, 0);
    }
}

void StageDetails::showEnd(bool failed, const juce::String& told)
{
    stopTimer();
    if (failed)
        announce(told);
    setTaskbar(failed ? TaskbarProgress::State::error : TaskbarProgress::State::none, barValue);
}

void StageDetails::timerCallback()
{
    if (phase == Phase::connect)
        showWaiting();
    else if (phase == Phase::send)
        showSending();
}

// The addresses follow the live list, from its first listing on, or it says
// that the computer is on no network; after a while the hint follows, with
// the firewall's verdict as the update judges it again and again.
void StageDetails::showWaiting()
{
    const TxtLoader* txt = TxtLoader::getInstance();
    const std::optional<juce::StringArray> addresses = procedure.getAnnouncedAddresses();
    juce::String text;
    if (procedure.isOnNoNetwork())
        text = txt->getString(StringEntry::onNoNetwork);
    else if (addresses.has_value() && !addresses->isEmpty())
        text =
            txt->getString(StringEntry::announcedOn).replace("%1", addresses->joinIntoString(", "));

    if (now() - shownAtMs >= NoMixerHint::afterMs)
    {
        if (text.isNotEmpty())
            text << "\n\n";
        text << NoMixerHint::text(procedure.getFirewallVerdict());
    }
    line.setText(text, juce::dontSendNotification);
}

void StageDetails::showSending()
{
    const SendProgress::Figures f = procedure.getSendProgress();
    if (f.total > 0)
        barValue =
            juce::jmax(barValue, static_cast<double>(f.taken) / static_cast<double>(f.total));

    const bool nowStalled = f.stalledSeconds > 0;
    const juce::String text = ProgressText::line(f);
    if (nowStalled && !stalled)
        announce(text);
    stalled = nowStalled;
    line.setText(text, juce::dontSendNotification);
    setTaskbar(stalled ? TaskbarProgress::State::paused : TaskbarProgress::State::normal, barValue);
}

void StageDetails::setTaskbar(TaskbarProgress::State state, double fraction)
{
    if (auto* top = getTopLevelComponent(); top != nullptr && top->getPeer() != nullptr)
        TaskbarProgress::show(top->getPeer()->getNativeHandle(), state, fraction);
}
