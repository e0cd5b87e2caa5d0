// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/ConsoleRun.h"

#include "app/CommandLine.h"
#include "app/ExitCode.h"
#include "app/InstanceChannel.h"
#include "app/ProgramVersion.h"
#include "app/ReportAndRetry.h"
#include "app/RetryList.h"
#include "app/RunReport.h"
#include "platform/CancelRequest.h"
#include "platform/ConsoleOutput.h"
#include "record/DiagnosticLog.h"
#include "record/RunRecord.h"
#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"
#include "ui/NoMixerHint.h"
#include "ui/ProgressText.h"
#include "ui/ResultMessages.h"
#include "update/UpdateProcedure.h"

#include <atomic>
#include <vector>

namespace
{
using Options = CommandLine::Settings;

// The run's exit code once its record is closed: a second Ctrl-C after that
// ends the process with it, as the run would have.
std::atomic<int> codeOfTheRun{-1};

// With the report on standard output (--report -), the lines for people go
// to standard error.
bool linesOnError = false;

void out(const juce::String& text)
{
    if (linesOnError)
        ConsoleOutput::writeError(text);
    else
        ConsoleOutput::write(text);
}

// How often the run looks at the stage, the cancel request and the deadline.
constexpr int pollMs = 50;
// How often a progress line on a terminal is rewritten.
constexpr double terminalRedrawMs = 250;

// One update, stage after stage, on the console.
class Session
{
public:
    // retry: the mixers of an earlier run to try again (--retry); then only
    // their connections are taken.
    Session(const Options& o, const RetryList::List& retry)
        : options(o), retrying(retry), txt(*TxtLoader::getInstance()),
          terminal(!linesOnError && ConsoleOutput::isTerminal()),
          procedure(
              hooks(o), [this] { stageEnded.signal(); }, o.mixers, o.stallSeconds * 1000,
              retry.addresses)
    {
    }

    int run()
    {
        for (const Phase stage : {Phase::initialise, Phase::connect, Phase::send})
        {
            const int code = runStage(stage);
            if (code != ExitCode::finished || (stage == Phase::send && options.mixersGiven))
                return code;
            if (stage == Phase::initialise && !isTheFileTriedAgain())
                return ExitCode::badCommandLine;
        }
        juce::String shown = txt.getString(StringEntry::finished).trimEnd();
        if (procedure.isDeliveryUnconfirmed())
            shown << "\n" << txt.getString(StringEntry::finishUnconfirmed);
        RunRecord::noteOutcome(ResultMessages::finishOutcome(procedure.isDeliveryUnconfirmed()));
        say(shown);
        return ExitCode::of(Phase::send, StageResult::success, procedure.isDeliveryUnconfirmed());
    }

    // The run's report (--report), once run has returned code; none for a
    // second try refused (exit code 1), as for a command line refused.
    void report(juce::Time started, int code) const
    {
        if (options.reportPath.isEmpty() || code == ExitCode::badCommandLine)
            return;
        const auto c = static_cast<ExitCode::Code>(code);
        const juce::Result written =
            RunReport::writeAtEnd(options.reportPath, procedure, MixersOutcome::of(procedure),
                                  started, c, code, retrying.entries);
        // The update's outcome stands; the earlier report, if any, stays.
        if (written.failed())
            DiagnosticLog::line(written.getErrorMessage());
    }

private:
    // A second try sends the file the first sent, or none: the check has
    // measured it, and nothing has been announced yet.
    bool isTheFileTriedAgain() const
    {
        if (options.retryPath.isEmpty())
            return true;
        const juce::String why = RetryList::whyNotTheFile(retrying, procedure.getUpdateFile(),
                                                          procedure.getUpdateFileHash());
        if (why.isEmpty())
            return true;
        RunRecord::noteOutcome("refused: " + why);
        ConsoleRun::refuse(why);
        return false;
    }

    static UpdateProcedure::Hooks hooks(const Options& o)
    {
        UpdateProcedure::Hooks h;
        h.programFile = o.programFile;
        return h;
    }

    // Runs one stage to its end, printing what it shows; finished when it
    // succeeded, otherwise the run's exit code once the outcome is printed.
    int runStage(Phase stage)
    {
        stageEnded.reset();
        procedure.start(stage);
        const double started = juce::Time::getMillisecondCounterHiRes();
        if (stage == Phase::connect)
            waitEndsAt = options.waitSeconds > 0 ? started + options.waitSeconds * 1000 : 0;
        bool timedOut = false;
        bool cancelRequested = false;
        while (!stageEnded.wait(pollMs))
        {
            cancelRequested = CancelRequest::isRequested();
            timedOut = waitEndsAt > 0 && juce::Time::getMillisecondCounterHiRes() >= waitEndsAt;
            if (cancelRequested || (timedOut && stage == Phase::connect))
                break;
            // Several mixers: the wait ends, those connected go on.
            if (timedOut && procedure.isWaitingForMixers() && !waitStopped)
            {
                waitStopped = true;
                procedure.stopWaitingForMixers();
                DiagnosticLog::line("no more mixers waited for after " + options.waitText +
                                    " s (--wait)");
            }
            show(stage);
        }
        // The worker tells of the stage's end before it returns: the next
        // stage starts only once it has.
        procedure.stop();
        show(stage);
        endProgressLine();
        if (stage == Phase::send && options.mixersGiven)
            return endOfMixers();

        StageResult result = procedure.getResult();
        // A stop that came as the stage succeeded still ends the run.
        if ((cancelRequested || (timedOut && stage == Phase::connect)) &&
            result == StageResult::success)
            result = StageResult::cancelled;
        const std::vector<MixerDelivery::Report> mixers = procedure.getDeliveries();
        const bool stalled = stage == Phase::send && !mixers.empty() && mixers.front().stalled;

        if (result == StageResult::success)
        {
            if (stage == Phase::connect && !options.mixersGiven)
                say(txt.getString(StringEntry::connectedFrom)
                        .replace("%1", procedure.getMixerAddress()));
            return ExitCode::finished;
        }
        if (timedOut && stage == Phase::connect && result == StageResult::cancelled)
        {
            const juce::String text =
                txt.getString(StringEntry::noMixerInTime).replace("%1", options.waitText);
            DiagnosticLog::line("no mixer connected within " + options.waitText + " s (--wait)");
            RunRecord::noteOutcome(ResultMessages::outcome(stage, result, text));
            say(text);
            return ExitCode::noMixerInTime;
        }

        const int entry = ResultMessages::entryFor(stage, result);
        const juce::String text = txt.getString(entry);
        RunRecord::noteOutcome(ResultMessages::outcome(stage, result, text) +
                               (stalled ? ", stalled for " + options.stallText + " s" : ""));
        if (result == StageResult::cancelled)
        {
            say(text);
            return ExitCode::of(stage, result);
        }
        // The code on the last line, whatever the text says.
        say(text + codeOf(stage, result));
        return ExitCode::of(stage, result);
    }

    // Several mixers: a line per mixer and how many finished, then how many
    // connected when fewer came; the code of the whole run.
    int endOfMixers()
    {
        const MixersOutcome outcome = MixersOutcome::of(procedure);
        for (const MixersOutcome::Mixer& m : outcome.getMixers())
            say(txt.getString(StringEntry::mixerEnded)
                    .replace("%1", ResultMessages::mixerName(m.address, m.attempt))
                    .replace("%2", ResultMessages::mixerVerdict(m)));
        juce::String summary = ResultMessages::mixersSummary(outcome);
        say(summary);
        const MixersOutcome::Whole whole = outcome.getWhole();
        if (whole == MixersOutcome::Whole::fewerCame ||
            whole == MixersOutcome::Whole::connectFailed)
        {
            const StageResult waitResult = outcome.getWaitResult();
            juce::String why = txt.getString(StringEntry::mixersConnectedWithin)
                                   .replace("%1", juce::String(outcome.getCame()))
                                   .replace("%2", juce::String(outcome.getWanted()))
                                   .replace("%3", options.waitText);
            if (waitResult != StageResult::success)
                why = txt.getString(ResultMessages::entryFor(Phase::connect, waitResult)) +
                      codeOf(Phase::connect, waitResult);
            say(why);
            summary << "; " << why;
        }
        RunRecord::noteOutcome(summary);
        return ExitCode::of(whole);
    }

    // What the stage shows now, printed when it changes.
    void show(Phase stage)
    {
        if (options.mixersGiven && stage != Phase::initialise)
            sayMixersConnected();
        if (stage == Phase::connect)
        {
            const juce::StringArray now = procedure.getAnnouncedAddresses().value_or(announced);
            if (now != announced && !now.isEmpty())
                say(txt.getString(StringEntry::announcingOn)
                        .replace("%1", now.joinIntoString(", ")));
            announced = now;
            const bool noNetwork = procedure.isOnNoNetwork();
            if (noNetwork && !saidNoNetwork)
                say(txt.getString(StringEntry::onNoNetwork));
            saidNoNetwork = noNetwork;
            // After a while without a mixer, what to check (again when it changes).
            const double at = juce::Time::getMillisecondCounterHiRes();
            waitingSince = waitingSince > 0 ? waitingSince : at;
            const juce::String hint = NoMixerHint::text(procedure.getFirewallVerdict());
            if (at - waitingSince >= NoMixerHint::afterMs && hint != hintShown)
                say(hintShown = hint);
        }
        else if (stage == Phase::send && options.mixersGiven)
            showMixersProgress();
        else if (stage == Phase::send)
            showProgress(procedure.getSendProgress());
    }

    // Each mixer as it connects, and again at each later try.
    void sayMixersConnected()
    {
        const std::vector<MixerDelivery::Report> mixers = procedure.getDeliveries();
        triesSaid.resize(mixers.size(), 0);
        for (std::size_t i = 0; i < mixers.size(); ++i)
        {
            if (triesSaid[i] >= mixers[i].attempt)
                continue;
            triesSaid[i] = mixers[i].attempt;
            endProgressLine();
            say(txt.getString(StringEntry::mixerConnected)
                    .replace("%1", juce::String(i + 1))
                    .replace("%2", juce::String(procedure.getMixersWanted()))
                    .replace("%3",
                             ResultMessages::mixerName(mixers[i].address, mixers[i].attempt)));
        }
    }

    // How many mixers have ended, and the slowest of those still sending:
    // its address and its progress line, as for one mixer.
    void showMixersProgress()
    {
        const std::vector<MixerDelivery::Report> mixers = procedure.getDeliveries();
        const MixerDelivery::Report* slowest = nullptr;
        int ended = 0;
        for (const MixerDelivery::Report& r : mixers)
        {
            ended += r.ended ? 1 : 0;
            if (!r.ended && (slowest == nullptr || r.figures.taken < slowest->figures.taken))
                slowest = &r;
        }
        if (slowest == nullptr)
            return;
        SendProgress::Figures f = slowest->figures;
        if (f.total <= 0 || !f.hasReading)
            return;
        const juce::String text = txt.getString(StringEntry::mixersSending)
                                      .replace("%1", juce::String(ended))
                                      .replace("%2", juce::String(mixers.size()))
                                      .replace("%3", slowest->address)
                                      .replace("%4", ProgressText::line(f));
        // A line on a pipe each time one more has ended, as at each tenth.
        if (!terminal && (ended != endedShown || mixers.size() != mixersShown))
            tenthShown = -1;
        endedShown = ended;
        mixersShown = mixers.size();
        showLine(text, f);
    }

    // On a terminal, one line rewritten in place a few times a second;
    // otherwise a line at each tenth of the file and at each stall.
    void showProgress(const SendProgress::Figures& f)
    {
        if (f.total <= 0 || !f.hasReading)
            return;
        showLine(ProgressText::line(f), f);
    }

    void showLine(const juce::String& text, const SendProgress::Figures& f)
    {
        const double now = juce::Time::getMillisecondCounterHiRes();
        if (terminal)
        {
            if (text == lineShown || (now - lineShownAt < terminalRedrawMs && !f.finished))
                return;
            // Spaces cover what is left of a longer line before.
            const int pad = juce::jmax(0, lineShown.length() - text.length());
            out("\r" + text + juce::String::repeatedString(" ", pad));
            lineShown = text;
            lineShownAt = now;
            return;
        }
        const int tenth = static_cast<int>(f.taken * 10 / f.total);
        const bool stalled = f.stalledSeconds > 0 && !f.finished;
        if (tenth > tenthShown || (stalled && !stallShown))
            out(text + "\n");
        tenthShown = juce::jmax(tenthShown, tenth);
        stallShown = stalled;
    }

    void endProgressLine()
    {
        if (lineShown.isNotEmpty())
            out("\n");
        lineShown = {};
    }

    static juce::String codeOf(Phase stage, StageResult result)
    {
        return ResultMessages::codeAfterText(stage, result);
    }

    static void say(const juce::String& text) { out(text + "\n"); }

    const Options& options;
    const RetryList::List& retrying;
    const TxtLoader& txt;
    const bool terminal;
    juce::WaitableEvent stageEnded{true};
    double waitEndsAt = 0; // --wait: when the wait for mixers ends; 0: never
    bool waitStopped = false;
    std::vector<int> triesSaid; // of each mixer's place
    int endedShown = 0;
    std::size_t mixersShown = 0;
    juce::StringArray announced;
    bool saidNoNetwork = false;
    double waitingSince = 0;
    juce::String hintShown;
    juce::String lineShown;
    double lineShownAt = 0;
    int tenthShown = 0;
    bool stallShown = false;
    UpdateProcedure procedure; // last: stopped before what its callback uses goes
};

} // namespace

bool ConsoleRun::isAskedFor(const juce::StringArray& arguments)
{
    return CommandLine::asksForConsole(arguments);
}

int ConsoleRun::run(const juce::StringArray& arguments)
{
    const juce::Time started = juce::Time::getCurrentTime();
    Options options = CommandLine::parse(arguments);
    ConsoleOutput::prepare();
    if (options.error.isNotEmpty())
    {
        refuse(options.error);
        ConsoleOutput::finish();
        return ExitCode::badCommandLine;
    }
    if (options.help)
    {
        ConsoleOutput::write(helpText());
        ConsoleOutput::finish();
        return ExitCode::finished;
    }
    if (options.version)
    {
        ConsoleOutput::write(ProgramVersion::text() + "\n");
        ConsoleOutput::finish();
        return ExitCode::finished;
    }

    // What a report or a second try needs is there before anything is announced.
    const ReportAndRetry::Prepared prepared = ReportAndRetry::prepare(options, false);
    const RetryList::List& retry = prepared.retry;
    if (prepared.refusal.isNotEmpty())
    {
        refuse(prepared.refusal);
        ConsoleOutput::finish();
        return ExitCode::badCommandLine;
    }
    linesOnError = options.reportPath == RunReport::standardOutput;
    if (prepared.nothingToTryAgain)
    {
        sayNothingToTryAgain();
        ConsoleOutput::finish();
        return ExitCode::finished;
    }

    // A second Ctrl-C ends the process at once, its record closed first.
    CancelRequest::install(
        []
        {
            if (const int fixed = codeOfTheRun.load(); fixed >= 0)
            {
                ConsoleOutput::finish();
                return fixed;
            }
            RunRecord::noteOutcome("cancelled by a second Ctrl-C: ended at once");
            RunRecord::close();
            ConsoleOutput::finish();
            return static_cast<int>(ExitCode::cancelled);
        });
    const TxtLoader* txt = TxtLoader::getInstance();
    int code = ExitCode::alreadyRunning;
    {
        // The window's single-instance lock: two announcers would share UDP
        // port 56000.
        juce::InterProcessLock lock(InstanceChannel::lockNameFor(JUCE_APPLICATION_NAME_STRING));
        if (!lock.enter(0))
        {
            out(txt->getString(StringEntry::alreadyRunning) + "\n");
            RunReport::writeAlreadyRunning(options.reportPath, started, options.programFile,
                                           options.mixers, ExitCode::alreadyRunning);
        }
        else
        {
            // Only the copy that holds the lock keeps a record, as with the window.
            RunRecord::open(RunRecord::defaultFolder(), ProgramVersion::text() + ", console run");
            RunRecord::noteLanguage(txt->getLanguageName(txt->getLanguage()));
            if (retry.addresses.size() > 0)
                DiagnosticLog::line("a second try for " + retry.addresses.joinIntoString(", ") +
                                    " (--retry " + options.retryPath + ")");
            Session session(options, retry);
            code = session.run();
            session.report(started, code);
            codeOfTheRun = code;
            RunRecord::close();
        }
    }
    TxtLoader::deleteInstance();
    CancelRequest::runEnded();
    ConsoleOutput::finish();
    return code;
}

void ConsoleRun::refuse(const juce::String& reason)
{
    ConsoleOutput::writeError("KVR516_UPDATE: " + reason +
                              " (KVR516_UPDATE --help lists the options)\n");
}

void ConsoleRun::sayNothingToTryAgain()
{
    out(TxtLoader::getInstance()->getString(StringEntry::nothingToTryAgain) + "\n");
    TxtLoader::deleteInstance();
}

juce::String ConsoleRun::helpText()
{
    return R"(Usage: KVR516_UPDATE --console [--file PATH] [--wait SECONDS]
                               [--stall SECONDS] [--mixers N]
                               [--report PATH] [--retry REPORT]
       KVR516_UPDATE [--file PATH] [--mixers N] [--report PATH]
                     [--retry REPORT]
       KVR516_UPDATE --help | --version

Sends the update file to a KVR-516helix mixer without a window: checks the
file and the networks, announces this computer on every IPv4 network, waits
for the mixer to connect (put it into its update mode) and sends the file,
printing the progress. Texts are in the language of the locale (English or
Japanese). Ctrl-C, SIGTERM or SIGHUP cancels; a second Ctrl-C ends it at
once. Every run is added to the record for support. Without --console the
window sends the file, the one named with --file if given, to as many
mixers as its ready screen says (--mixers N sets it); it takes --report
(to a file) and --retry as well.

  --console       run without a window (no display is needed)
  --file PATH     the update file to send; its name must end in .upd
                  (default: KVR516_UPDATE.upd beside the program)
  --wait SECONDS  give up when no mixer has connected within SECONDS
                  (default: wait for ever)
  --stall SECONDS end the send (code S3) when the mixer has taken nothing
                  for SECONDS, at least )" +
           juce::String(static_cast<int>(CommandLine::minStallSeconds)) +
           " (default: " + juce::String(static_cast<int>(CommandLine::defaultStallSeconds)) + R"()
  --mixers N      send to N mixers (1 to 64) side by side: wait until N,
                  told apart by their address, have connected or --wait
                  ends, send to each as it connects; a mixer whose send
                  failed may connect again for a second try; a line per
                  mixer and how many finished at the end
  --report PATH   at the end, write the run's report there as JSON (- for
                  standard output, the lines for people then on standard
                  error); a place it cannot be written is refused at once
  --retry REPORT  a second try: wait only for the mixers that failed or
                  were cancelled in that report, from their addresses, and
                  send them the same update file (its SHA-256 is checked);
                  when none did, say so and end with 0
  --help          this text
  --version       the program's version and commit

Exit codes:
)" + ExitCode::helpLines() +
           R"(
With --mixers, the first that holds of 5 (cancelled), 4 (a send failed:
each failed mixer's line gives its address and code), 6 or 3 (fewer mixers
came), 8 (some end not confirmed), else 0.
)";
}
