// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/ProgressText.h"

juce::String ProgressText::of(const SendProgress::Figures& f)
{
    if (f.stalledSeconds > 0)
        return "The mixer has taken nothing for " +
               juce::String(juce::roundToInt(f.stalledSeconds)) +
               " s. Check its cable and power, or Cancel.";
    auto mb = [](double b) { return juce::String(b / 1e6, 1) + " MB"; };
    juce::String text =
        mb(static_cast<double>(f.taken)) + " of " + mb(static_cast<double>(f.total));
    if (f.bytesPerSecond > 0)
        text << " \xc2\xb7 " << mb(f.bytesPerSecond) << "/s";
    if (f.secondsLeft >= 0)
        text << " \xc2\xb7 about " << juce::roundToInt(f.secondsLeft) << " s left";
    return juce::String::fromUTF8(text.toRawUTF8());
}
