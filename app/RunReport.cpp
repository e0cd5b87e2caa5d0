// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/RunReport.h"

#include "app/ProgramVersion.h"
#include "net/UpdateFile.h"
#include "platform/ConsoleOutput.h"
#include "record/DiagnosticLog.h"
#include "ui/ResultMessages.h"
#include "update/UpdateProcedure.h"

#include <cmath>
#include <ctime>

namespace
{
juce::var orNull(bool known, const juce::var& value)
{
    return known ? value : juce::var();
}

juce::var entryOf(const MixersOutcome::Mixer& m)
{
    using V = MixersOutcome::Verdict;
    const MixerDelivery::Report& r = m.report;
    auto* e = new juce::DynamicObject();
    e->setProperty("address", m.address);
    e->setProperty("outcome", RunReport::wordOf(m.verdict));
    e->setProperty("code",
                   orNull(m.verdict == V::failed, juce::String(stageCode(Phase::send, m.result))));
    e->setProperty("message", ResultMessages::mixerVerdict(m));
    e->setProperty("bytes_sent", r.bytesWritten);
    // The figure is what the mixer's stack acknowledged only where the system tells.
    e->setProperty("bytes_acknowledged", orNull(r.figures.acknowledged, r.figures.taken));
    e->setProperty("seconds", orNull(r.deliveryMs > 0, std::round(r.deliveryMs) / 1000.0));
    e->setProperty("try", m.attempt);
    return e;
}
} // namespace

const char* RunReport::wordOf(MixersOutcome::Verdict verdict) noexcept
{
    using V = MixersOutcome::Verdict;
    switch (verdict)
    {
    case V::finished:
        return "finished";
    case V::unconfirmed:
        return "unconfirmed";
    case V::cancelled:
        return "cancelled";
    case V::turnedAway:
        return "turned away";
    case V::failed:
        break;
    }
    return "failed";
}

const char* RunReport::wordOf(ExitCode::Code outcome) noexcept
{
    switch (outcome)
    {
    case ExitCode::finished:
        return "finished";
    case ExitCode::badCommandLine:
        return "refused";
    case ExitCode::initialiseFailed:
        return "check failed";
    case ExitCode::connectFailed:
        return "connect failed";
    case ExitCode::sendFailed:
        return "send failed";
    case ExitCode::cancelled:
        return "cancelled";
    case ExitCode::noMixerInTime:
        return "too few mixers";
    case ExitCode::alreadyRunning:
        return "already running";
    case ExitCode::unconfirmed:
        break;
    }
    return "unconfirmed";
}

juce::String RunReport::utc(juce::Time time)
{
    const std::time_t seconds = static_cast<std::time_t>(time.toMilliseconds() / 1000);
    char text[32] = {};
    if (const std::tm* t = std::gmtime(&seconds))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", t);
    return text;
}

juce::var RunReport::document(const Run& run, const MixersOutcome& mixers)
{
    auto* program = new juce::DynamicObject();
    program->setProperty("name", JUCE_APPLICATION_NAME_STRING);
    program->setProperty("version", JUCE_APPLICATION_VERSION_STRING);
    program->setProperty("commit", ProgramVersion::commit());

    auto* file = new juce::DynamicObject();
    file->setProperty("path", run.updateFile.getFullPathName());
    file->setProperty("bytes", orNull(run.bytes >= 0, run.bytes));
    file->setProperty("sha256", orNull(run.sha256.isNotEmpty(), run.sha256));

    juce::Array<juce::var> entries;
    juce::StringArray come;
    for (const MixersOutcome::Mixer& m : mixers.getMixers())
    {
        entries.add(entryOf(m));
        come.add(m.address);
    }
    for (const juce::var& e : run.awaited)
        if (!come.contains(e["address"].toString()))
            entries.add(e);

    auto* d = new juce::DynamicObject();
    d->setProperty("report_version", version);
    d->setProperty("program", program);
    d->setProperty("started", utc(run.started));
    d->setProperty("ended", utc(run.ended));
    d->setProperty("file", file);
    d->setProperty("mixers_asked", run.mixersAsked);
    d->setProperty("exit_code", run.exitCode);
    d->setProperty("outcome", wordOf(run.outcome));
    d->setProperty("mixers", entries);
    return d;
}

juce::Result RunReport::checkWritable(const juce::String& path)
{
    if (path == standardOutput)
        return juce::Result::ok();
    const juce::File target = juce::File::getCurrentWorkingDirectory().getChildFile(path);
    if (path.isEmpty() || target.isDirectory())
        return juce::Result::fail("--report needs a file to write, not \"" + path + "\"");
    // A file made beside it and removed: the folder is there and takes new
    // files (File::create would make missing folders).
    const juce::TemporaryFile trial(target, juce::TemporaryFile::useHiddenFile);
    const bool made = target.getParentDirectory().isDirectory() &&
                      juce::FileOutputStream(trial.getFile()).openedOk();
    if (!made || !trial.getFile().deleteFile())
        return juce::Result::fail("--report cannot write in \"" +
                                  target.getParentDirectory().getFullPathName() + "\"");
    return juce::Result::ok();
}

juce::Result RunReport::write(const juce::String& path, const juce::var& document)
{
    const juce::String text = juce::JSON::toString(document) + "\n";
    if (path == standardOutput)
    {
        ConsoleOutput::write(text);
        return juce::Result::ok();
    }
    const juce::File target = juce::File::getCurrentWorkingDirectory().getChildFile(path);
    // Its destructor removes what was not renamed.
    const juce::TemporaryFile beside(target, juce::TemporaryFile::useHiddenFile);
    if (!beside.getFile().appendText(text, false, false, "\n"))
        return juce::Result::fail("the report cannot be written beside \"" +
                                  target.getFullPathName() + "\"");
    if (!beside.getFile().replaceFileIn(target))
        return juce::Result::fail("the report cannot be renamed to \"" + target.getFullPathName() +
                                  "\"");
    return juce::Result::ok();
}

juce::Result RunReport::writeAtEnd(const juce::String& path, const UpdateProcedure& procedure,
                                   const MixersOutcome& mixers, juce::Time started,
                                   ExitCode::Code outcome, int exitCode,
                                   const juce::Array<juce::var>& awaited)
{
    Run run;
    run.started = started;
    run.ended = juce::Time::getCurrentTime();
    run.updateFile = procedure.getUpdateFile();
    run.bytes = procedure.getUpdateFileSize();
    run.sha256 = procedure.getUpdateFileHash();
    run.mixersAsked = mixers.getWanted();
    run.outcome = outcome;
    run.exitCode = exitCode;
    run.awaited = awaited;
    return write(path, document(run, mixers));
}

void RunReport::writeAlreadyRunning(const juce::String& path, juce::Time started,
                                    const juce::File& programFile, int mixers, int exitCode)
{
    if (path.isEmpty())
        return;
    Run run;
    run.started = started;
    run.ended = juce::Time::getCurrentTime();
    run.updateFile = UpdateFile::besideProgram(
        programFile == juce::File() ? UpdateFile::thisProgram() : programFile);
    run.mixersAsked = mixers;
    run.outcome = ExitCode::alreadyRunning;
    run.exitCode = exitCode;
    const MixersOutcome none({}, {}, mixers, false, StageResult::success);
    if (const juce::Result written = write(path, document(run, none)); written.failed())
        DiagnosticLog::line(written.getErrorMessage());
}
