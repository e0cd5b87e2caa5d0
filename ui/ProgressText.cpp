// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/ProgressText.h"

#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"

juce::String ProgressText::of(const SendProgress::Figures& f)
{
    const TxtLoader* txt = TxtLoader::getInstance();
    if (f.stalledSeconds > 0)
        return txt->getString(StringEntry::mixerStalled)
            .replace("%1", juce::String(static_cast<int>(f.stalledSeconds)));

    juce::String text = txt->getString(StringEntry::progressTaken)
                            .replace("%1", megabytes(static_cast<double>(f.taken)))
                            .replace("%2", megabytes(static_cast<double>(f.total)));
    if (f.bytesPerSecond > 0 && f.secondsLeft >= 0 && !f.finished)
        text << txt->getString(StringEntry::progressRate)
                    .replace("%1", megabytes(f.bytesPerSecond))
                    .replace("%2", juce::String(juce::roundToInt(f.secondsLeft)));
    return text;
}

juce::String ProgressText::megabytes(double bytes)
{
    return juce::String(bytes / 1e6, 1) + " MB";
}
