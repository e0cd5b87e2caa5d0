// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/ProgressText.h"

#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"

#include <cmath>

namespace
{
juce::String megabytes(double bytes)
{
    return juce::String(bytes / 1.0e6, 1);
}
} // namespace

juce::String ProgressText::line(const SendProgress::Figures& f)
{
    const TxtLoader* txt = TxtLoader::getInstance();
    if (f.stalledSeconds > 0 && !f.finished)
        return txt->getString(StringEntry::stalled)
            .replace("%1", juce::String(juce::roundToInt(f.stalledSeconds)));

    const juce::String taken = megabytes(static_cast<double>(f.taken));
    const juce::String total = megabytes(static_cast<double>(f.total));
    if (f.finished || f.bytesPerSecond <= 0 || f.secondsLeft < 0)
        return txt->getString(StringEntry::progressStarting)
            .replace("%1", taken)
            .replace("%2", total);

    const int left = juce::jmax(1, static_cast<int>(std::ceil(f.secondsLeft)));
    return txt->getString(StringEntry::progress)
        .replace("%1", taken)
        .replace("%2", total)
        .replace("%3", megabytes(f.bytesPerSecond))
        .replace("%4", juce::String(left));
}
