// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/MixersPanel.h"

#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"
#include "ui/MixerRow.h"
#include "ui/NoMixerHint.h"
#include "ui/ProgressText.h"
#include "ui/ResultMessages.h"
#include "update/MixersOutcome.h"
#include "update/UpdateProcedure.h"

namespace
{
// Between a row's figure and its verdict, as between the progress line's parts.
const juce::String separator = juce::String::fromUTF8(" \xc2\xb7 ");

double now()
{
    return juce::Time::getMillisecondCounterHiRes();
}

double fractionOf(const SendProgress::Figures& f)
{
    return f.total > 0 ? static_cast<double>(f.taken) / static_cast<double>(f.total) : 0.0;
}
} // namespace

MixersPanel::MixersPanel()
{
    lines.setJustificationType(juce::Justification::topLeft);
    lines.setMinimumHorizontalScale(1.0f);
    addAndMakeVisible(lines);
    viewport.setViewedComponent(&rowsHolder, false);
    viewport.setScrollBarsShown(true, false);
    rowsHolder.setTitle("mixers");
    addAndMakeVisible(viewport);
}

MixersPanel::~MixersPanel()
{
    stopTimer();
}

int MixersPanel::heightFor(int mixers)
{
    return linesHeight + juce::jlimit(1, visibleRows, mixers) * MixerRow::height;
}

void MixersPanel::follow(const UpdateProcedure& p, std::map<juce::String, int> tries)
{
    procedure = &p;
    earlierTries = std::move(tries);
    rows.clear();
    whole = 0;
    resized();
}

void MixersPanel::resized()
{
    lines.setBounds(getLocalBounds().removeFromTop(linesHeight));
    viewport.setBounds(getLocalBounds().withTrimmedTop(linesHeight));
    const int width = viewport.getWidth() - viewport.getScrollBarThickness();
    rowsHolder.setSize(width, static_cast<int>(rows.size()) * MixerRow::height);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i]->setBounds(0, static_cast<int>(i) * MixerRow::height, width, MixerRow::height);
}

void MixersPanel::show(Phase p)
{
    phase = p;
    shownAtMs = now();
    lines.setFont(
        juce::Font(TxtLoader::getInstance()->getCurrentFontName(), 12.8f, juce::Font::plain));
    if (procedure == nullptr || (p != Phase::connect && p != Phase::send && p != Phase::finished))
    {
        stopTimer();
        return;
    }
    timerCallback();
    if (p == Phase::finished)
    {
        stopTimer();
        setTaskbar(TaskbarProgress::State::none, 0);
        return;
    }
    startTimer(refreshMs);
}

void MixersPanel::showEnd(bool failed)
{
    stopTimer();
    setTaskbar(failed ? TaskbarProgress::State::error : TaskbarProgress::State::none, whole);
}

void MixersPanel::timerCallback()
{
    const MixersOutcome outcome = MixersOutcome::of(*procedure);
    showMixers(outcome);

    juce::String text;
    if (phase == Phase::finished)
        text = endLines(outcome);
    else if (phase == Phase::connect || procedure->isWaitingForMixers())
        text = waitingLines();
    else
        text = ResultMessages::mixersSummary(outcome);
    if (text != lines.getText())
        lines.setText(text, juce::dontSendNotification);

    if (phase == Phase::send)
        setTaskbar(TaskbarProgress::State::normal, whole);
}

// How many have connected of those awaited, where the computer is announced,
// and after a while what to check.
juce::String MixersPanel::waitingLines() const
{
    const TxtLoader* txt = TxtLoader::getInstance();
    juce::String text = txt->getString(StringEntry::waitingForMixers)
                            .replace("%1", juce::String(procedure->getMixersWanted()))
                            .replace("%2", juce::String(procedure->getDeliveries().size()));
    const auto addresses = procedure->getAnnouncedAddresses();
    if (procedure->isOnNoNetwork())
        text << "\n" << txt->getString(StringEntry::onNoNetwork);
    else if (addresses.has_value() && !addresses->isEmpty())
        text << "\n"
             << txt->getString(StringEntry::announcedOn)
                    .replace("%1", addresses->joinIntoString(", "));
    if (now() - shownAtMs >= NoMixerHint::afterMs)
        text << "\n" << NoMixerHint::text(procedure->getFirewallVerdict());
    return text;
}

// A row per mixer come, and per one turned away.
void MixersPanel::showMixers(const MixersOutcome& outcome)
{
    const std::vector<MixersOutcome::Mixer>& mixers = outcome.getMixers();
    const bool added = mixers.size() != rows.size();
    while (rows.size() < mixers.size())
    {
        rows.push_back(std::make_unique<MixerRow>());
        rowsHolder.addAndMakeVisible(*rows.back());
    }
    double taken = 0;
    for (std::size_t i = 0; i < mixers.size(); ++i)
    {
        const MixersOutcome::Mixer& m = mixers[i];
        const bool turnedAway = m.verdict == MixersOutcome::Verdict::turnedAway;
        juce::String line = turnedAway ? juce::String() : ProgressText::line(m.report.figures);
        if (m.report.ended || turnedAway)
            line << (line.isEmpty() ? juce::String() : separator)
                 << ResultMessages::mixerVerdict(m);
        const double fraction = fractionOf(m.report.figures);
        taken += turnedAway ? 0 : fraction;
        rows[i]->show(nameOf(m), fraction, line);
    }
    whole = taken / juce::jmax(1, outcome.getWanted());
    if (added)
        resized();
}

juce::String MixersPanel::endLines(const MixersOutcome& outcome) const
{
    const TxtLoader* txt = TxtLoader::getInstance();
    juce::StringArray failed;
    for (const MixersOutcome::Mixer& m : outcome.getMixers())
        if (m.verdict == MixersOutcome::Verdict::failed ||
            m.verdict == MixersOutcome::Verdict::cancelled)
            failed.add(txt->getString(StringEntry::mixerEnded)
                           .replace("%1", nameOf(m))
                           .replace("%2", ResultMessages::mixerVerdict(m)));
    return failed.isEmpty() ? txt->getString(StringEntry::finished).trimEnd()
                            : failed.joinIntoString("\n");
}

juce::String MixersPanel::nameOf(const MixersOutcome::Mixer& m) const
{
    const auto earlier = earlierTries.find(m.address);
    return ResultMessages::mixerName(
        m.address, m.attempt + (earlier != earlierTries.end() ? earlier->second : 0));
}

juce::StringArray MixersPanel::getRows() const
{
    juce::StringArray shown;
    for (const auto& row : rows)
        shown.add(row->getTitle() + " | " + row->getLine());
    return shown;
}

void MixersPanel::setTaskbar(TaskbarProgress::State state, double fraction)
{
    if (auto* top = getTopLevelComponent(); top != nullptr && top->getPeer() != nullptr)
        TaskbarProgress::show(top->getPeer()->getNativeHandle(), state, fraction);
}
