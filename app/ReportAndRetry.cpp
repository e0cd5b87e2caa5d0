// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/ReportAndRetry.h"

#include "app/RunReport.h"

ReportAndRetry::Prepared ReportAndRetry::prepare(CommandLine::Settings& settings, bool window)
{
    Prepared p;
    if (window && settings.reportPath == RunReport::standardOutput)
    {
        p.refusal = "--report -: the window writes its report to a file; standard output is "
                    "the console run's (--console)";
        return p;
    }
    if (settings.retryPath.isNotEmpty())
        p.retry = RetryList::read(settings.retryPath);
    if (p.retry.error.isNotEmpty())
    {
        p.refusal = p.retry.error;
        return p;
    }
    if (settings.reportPath.isNotEmpty())
        if (const juce::Result writable = RunReport::checkWritable(settings.reportPath);
            writable.failed())
        {
            p.refusal = writable.getErrorMessage();
            return p;
        }
    if (settings.retryPath.isEmpty())
        return p;
    p.nothingToTryAgain = p.retry.addresses.isEmpty();
    settings.mixers = juce::jmax(1, p.retry.addresses.size());
    settings.mixersGiven = true;
    return p;
}
