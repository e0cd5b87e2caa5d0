// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/ConsoleRun.h"

#include "app/CommandLine.h"
#include "app/ExitCode.h"
#include "app/InstanceChannel.h"
#include "app/ProgramVersion.h"
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

namespace
{
using Options = CommandLine::Settings;

// How often the run looks at the stage, the cancel request and the deadline.
constexpr int pollMs = 50;
// How often a progress line on a terminal is rewritten.
constexpr double terminalRedrawMs = 250;

// How long the figure of what the mixer has taken has stayed the same.
struct StallWatch
{
    double since;
    juce::int64 taken = -1;

    double stalledMs(juce::int64 now, double nowMs)
    {
        if (now != taken)
        {
            taken = now;
            since = nowMs;
        }
        return nowMs - since;
    }
};

// One update, stage after stage, on the console.
class Session
{
public:
    explicit Session(const Options& o)
        : options(o), txt(*TxtLoader::getInstance()), terminal(ConsoleOutput::isTerminal()),
          procedure(hooks(o), [this] { stageEnded.signal(); })
    {
    }

    int run()
    {
        for (const Phase stage : {Phase::initialise, Phase::connect, Phase::send})
        {
            const int code = runStage(stage);
            if (code != ExitCode::finished)
                return code;
        }
        juce::String shown = txt.getString(StringEntry::finished).trimEnd();
        if (procedure.isDeliveryUnconfirmed())
            shown << "\n" << txt.getString(StringEntry::finishUnconfirmed);
        RunRecord::noteOutcome(ResultMessages::finishOutcome(procedure.isDeliveryUnconfirmed()));
        say(shown);
        return ExitCode::of(Phase::send, StageResult::success, procedure.isDeliveryUnconfirmed());
    }

private:
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
        bool timedOut = false;
        bool cancelRequested = false;
        bool stalled = false;
        StallWatch stall{started};
        while (!stageEnded.wait(pollMs))
        {
            const double now = juce::Time::getMillisecondCounterHiRes();
            cancelRequested = CancelRequest::isRequested();
            timedOut = stage == Phase::connect && options.waitSeconds > 0 &&
                       now - started >= options.waitSeconds * 1000;
            stalled = stage == Phase::send && stall.stalledMs(procedure.getSendProgress().taken,
                                                              now) >= options.stallSeconds * 1000;
            if (cancelRequested || timedOut || stalled)
                break;
            show(stage);
        }
        // The worker tells of the stage's end before it returns: the next
        // stage starts only once it has.
        procedure.stop();
        show(stage);
        endProgressLine();

        StageResult result = procedure.getResult();
        // A stop that came as the stage succeeded still ends the run; a send
        // that finished as it was found stalled has finished.
        if ((cancelRequested || timedOut) && result == StageResult::success)
            result = StageResult::cancelled;
        stalled = stalled && !cancelRequested && result == StageResult::cancelled;
        if (stalled)
        {
            // The code of a send that cannot go on, as when the connection fails.
            result = StageResult::code3;
            DiagnosticLog::line("the mixer had taken nothing for " + options.stallText +
                                " s (--stall): the send ends");
        }

        if (result == StageResult::success)
        {
            if (stage == Phase::connect)
                say(txt.getString(StringEntry::connectedFrom)
                        .replace("%1", procedure.getMixerAddress()));
            return ExitCode::finished;
        }
        if (timedOut && result == StageResult::cancelled)
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
        say(text + " (" + stageLetter(stage) + juce::String(static_cast<int>(result)) + ")");
        return ExitCode::of(stage, result);
    }

    // What the stage shows now, printed when it changes.
    void show(Phase stage)
    {
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
        else if (stage == Phase::send)
            showProgress(procedure.getSendProgress());
    }

    // On a terminal, one line rewritten in place a few times a second;
    // otherwise a line at each tenth of the file and at each stall.
    void showProgress(const SendProgress::Figures& f)
    {
        if (f.total <= 0 || !f.hasReading)
            return;
        const juce::String text = ProgressText::line(f);
        const double now = juce::Time::getMillisecondCounterHiRes();
        if (terminal)
        {
            if (text == lineShown || (now - lineShownAt < terminalRedrawMs && !f.finished))
                return;
            // Spaces cover what is left of a longer line before.
            const int pad = juce::jmax(0, lineShown.length() - text.length());
            ConsoleOutput::write("\r" + text + juce::String::repeatedString(" ", pad));
            lineShown = text;
            lineShownAt = now;
            return;
        }
        const int tenth = static_cast<int>(f.taken * 10 / f.total);
        const bool stalled = f.stalledSeconds > 0 && !f.finished;
        if (tenth > tenthShown || (stalled && !stallShown))
            ConsoleOutput::write(text + "\n");
        tenthShown = juce::jmax(tenthShown, tenth);
        stallShown = stalled;
    }

    void endProgressLine()
    {
        if (lineShown.isNotEmpty())
            ConsoleOutput::write("\n");
        lineShown = {};
    }

    static void say(const juce::String& text) { ConsoleOutput::write(text + "\n"); }

    const Options& options;
    const TxtLoader& txt;
    const bool terminal;
    juce::WaitableEvent stageEnded{true};
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
    const Options options = CommandLine::parse(arguments);
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

    // A second Ctrl-C ends the process at once, its record closed first.
    CancelRequest::install(
        []
        {
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
            ConsoleOutput::write(txt->getString(StringEntry::alreadyRunning) + "\n");
        }
        else
        {
            // Only the copy that holds the lock keeps a record, as with the window.
            RunRecord::open(RunRecord::defaultFolder(), ProgramVersion::text() + ", console run");
            RunRecord::noteLanguage(txt->getLanguageName(txt->getLanguage()));
            code = Session(options).run();
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

juce::String ConsoleRun::helpText()
{
    return R"(Usage: KVR516_UPDATE --console [--file PATH] [--wait SECONDS]
                               [--stall SECONDS]
       KVR516_UPDATE [--file PATH]
       KVR516_UPDATE --help | --version

Sends the update file to a KVR-516helix mixer without a window: checks the
file and the networks, announces this computer on every IPv4 network, waits
for the mixer to connect (put it into its update mode) and sends the file,
printing the progress. Texts are in the language of the locale (English or
Japanese). Ctrl-C, SIGTERM or SIGHUP cancels; a second Ctrl-C ends it at
once. Every run is added to the record for support. Without --console the
window sends the file, the one named with --file if given.

  --console       run without a window (no display is needed)
  --file PATH     the update file to send; its name must end in .upd
                  (default: KVR516_UPDATE.upd beside the program)
  --wait SECONDS  give up when no mixer has connected within SECONDS
                  (default: wait for ever)
  --stall SECONDS end the send (code S3) when the mixer has taken nothing
                  for SECONDS (default: 120)
  --help          this text
  --version       the program's version and commit

Exit codes:
)" + ExitCode::helpLines();
}
