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

// Rounded down: a figure short of the whole never reads as the whole.
juce::String megabytesDown(juce::int64 bytes)
{
    const juce::int64 tenths = juce::jmax<juce::int64>(0, bytes) / 100000;
    return juce::String(tenths / 10) + "." + juce::String(tenths % 10);
}

juce::String rate(const TxtLoader& txt, double bytesPerSecond)
{
    const int kilobytes = juce::jmax(1, juce::roundToInt(bytesPerSecond / 1000));
    if (kilobytes < 1000)
        return txt.getString(StringEntry::rateKilobytes).replace("%1", juce::String(kilobytes));
    return txt.getString(StringEntry::rateMegabytes).replace("%1", megabytes(bytesPerSecond));
}
} // namespace

juce::String ProgressText::line(const SendProgress::Figures& f)
{
    if (!f.hasReading)
        return {};
    const TxtLoader* txt = TxtLoader::getInstance();
    if (f.stalledSeconds > 0 && !f.finished)
        return txt->getString(StringEntry::stalled)
            .replace("%1", juce::String(juce::roundToInt(f.stalledSeconds)));

    const juce::String amount =
        txt->getString(f.acknowledged || f.finished ? StringEntry::progressStarting
                                                    : StringEntry::progressWritten)
            .replace("%1",
                     f.finished ? megabytes(static_cast<double>(f.taken)) : megabytesDown(f.taken))
            .replace("%2", megabytes(static_cast<double>(f.total)));
    if (f.finished || f.bytesPerSecond <= 0 || (f.secondsLeft < 0 && !f.allWritten))
        return amount;
    // All written: what is left is the mixer's to take, at its own pace.
    if (f.allWritten)
        return txt->getString(StringEntry::progressAllWritten)
            .replace("%1", amount)
            .replace("%2", rate(*txt, f.bytesPerSecond));

    const int left = juce::jmax(1, static_cast<int>(std::ceil(f.secondsLeft)));
    return txt->getString(StringEntry::progress)
        .replace("%1", amount)
        .replace("%2", rate(*txt, f.bytesPerSecond))
        .replace("%3", juce::String(left));
}
