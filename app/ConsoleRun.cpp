// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/ConsoleRun.h"

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
// The name the window program's single-instance lock is made from (its
// application name): two announcers would share UDP port 56000.
const char* const lockName = "juceAppLock_KVR516_UPDATE";

// How often the run looks at the stage, the cancel request and the deadline.
constexpr int pollMs = 50;
// How often a progress line on a terminal is rewritten.
constexpr double terminalRedrawMs = 250;

struct Options
{
    bool help = false;
    juce::File programFile;  // File(): this program, the update file beside it
    double waitSeconds = -1; // -1: for ever
    juce::String waitText;   // as given
    juce::String error;
};

Options parse(const juce::StringArray& arguments)
{
    Options o;
    for (int i = 0; i < arguments.size() && o.error.isEmpty(); ++i)
    {
        const juce::String& a = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (a == "--console")
            continue;
        if (a == "--help" || a == "-h")
            o.help = true;
        else if ((a == "--file" || a == "--wait") && !hasValue)
            o.error = a + " needs a value";
        else if (a == "--file")
        {
            // The check and the sending take the update file as the program's
            // file with its extension made ".upd": a file already named so is
            // taken as it is, where it is.
            const juce::String path = arguments[++i];
            o.programFile = juce::File::getCurrentWorkingDirectory().getChildFile(path);
            if (path.isEmpty() || !o.programFile.getFileName().endsWith(".upd"))
                o.error = "--file needs a file whose name ends in .upd, not \"" + path + "\"";
        }
        else if (a == "--wait")
        {
            const juce::String value = arguments[++i];
            o.waitText = value;
            o.waitSeconds = value.getDoubleValue();
            if (value.isEmpty() || !value.containsOnly("0123456789.") || o.waitSeconds <= 0 ||
                o.waitSeconds > 1.0e6)
                o.error = "--wait needs a number of seconds above 0, not \"" + value + "\"";
        }
        else
            o.error = "unknown option \"" + a + "\"";
    }
    return o;
}

char stageLetter(Phase stage)
{
    return stage == Phase::initialise ? 'I' : stage == Phase::connect ? 'C' : 'S';
}

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
            if (code != ConsoleRun::finished)
                return code;
        }
        juce::String shown = txt.getString(StringEntry::finished).trimEnd();
        juce::String outcome =
            "Finish (\"" + shown.upToFirstOccurrenceOf("\n", false, false) + "\")";
        if (procedure.isDeliveryUnconfirmed())
        {
            shown << "\n" << txt.getString(StringEntry::finishUnconfirmed);
            outcome << ", unconfirmed (\"" << txt.getString(StringEntry::finishUnconfirmed)
                    << "\")";
        }
        RunRecord::noteOutcome(outcome);
        say(shown);
        return ConsoleRun::finished;
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
        while (!stageEnded.wait(pollMs))
        {
            cancelRequested = CancelRequest::isRequested();
            timedOut =
                stage == Phase::connect && options.waitSeconds > 0 &&
                juce::Time::getMillisecondCounterHiRes() - started >= options.waitSeconds * 1000;
            if (cancelRequested || timedOut)
                break;
            show(stage);
        }
        // The worker tells of the stage's end before it returns: the next
        // stage starts only once it has.
        procedure.stop();
        show(stage);
        endProgressLine();

        StageResult result = procedure.getResult();
        // A stop that came as the stage succeeded still ends the run.
        if ((cancelRequested || timedOut) && result == StageResult::success)
            result = StageResult::cancelled;

        if (result == StageResult::success)
        {
            if (stage == Phase::connect)
                say(txt.getString(StringEntry::connectedFrom)
                        .replace("%1", procedure.getMixerAddress()));
            return ConsoleRun::finished;
        }
        if (timedOut && result == StageResult::cancelled)
        {
            const juce::String text =
                txt.getString(StringEntry::noMixerInTime).replace("%1", options.waitText);
            DiagnosticLog::line("no mixer connected within " + options.waitText + " s (--wait)");
            RunRecord::noteOutcome("\"" + text + "\" (" + UpdateProcedure::describe(stage, result) +
                                   ")");
            say(text);
            return ConsoleRun::noMixerInTime;
        }

        const int entry = ResultMessages::entryFor(stage, result);
        const juce::String text = txt.getString(entry);
        RunRecord::noteOutcome("\"" + text + "\" (" + UpdateProcedure::describe(stage, result) +
                               ")");
        if (result == StageResult::cancelled)
        {
            say(text);
            return ConsoleRun::cancelled;
        }
        // The code on the last line, whatever the text says.
        say(text + " (" + stageLetter(stage) + juce::String(static_cast<int>(result)) + ")");
        return stage == Phase::initialise ? ConsoleRun::initialiseFailed
               : stage == Phase::connect  ? ConsoleRun::connectFailed
                                          : ConsoleRun::sendFailed;
    }

    // What the stage shows now, printed when it changes.
    void show(Phase stage)
    {
        if (stage == Phase::connect)
        {
            const juce::StringArray now = procedure.getAnnouncedAddresses();
            if (now != announced && !now.isEmpty())
                say(txt.getString(StringEntry::announcingOn)
                        .replace("%1", now.joinIntoString(", ")));
            announced = now;
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
        if (f.total <= 0)
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
    return arguments.contains("--console") || arguments.contains("--help") ||
           arguments.contains("-h");
}

int ConsoleRun::run(const juce::StringArray& arguments)
{
    const Options options = parse(arguments);
    ConsoleOutput::prepare();
    if (options.error.isNotEmpty())
    {
        ConsoleOutput::writeError("KVR516_UPDATE: " + options.error +
                                  " (KVR516_UPDATE --help lists the options)\n");
        return badCommandLine;
    }
    if (options.help)
    {
        ConsoleOutput::write(helpText());
        return finished;
    }

    CancelRequest::install();
    const TxtLoader* txt = TxtLoader::getInstance();
    int code = alreadyRunning;
    {
        juce::InterProcessLock lock(lockName);
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
    return code;
}

juce::String ConsoleRun::helpText()
{
    return R"(Usage: KVR516_UPDATE --console [--file PATH] [--wait SECONDS]
       KVR516_UPDATE --help | --version

Sends the update file to a KVR-516helix mixer without a window: checks the
file and the networks, announces this computer on every IPv4 network, waits
for the mixer to connect (put it into its update mode) and sends the file,
printing the progress. Texts are in the language of the locale (English or
Japanese). Ctrl-C cancels. Every run is added to the record for support.

  --console       run without a window (no display is needed)
  --file PATH     the update file to send; its name must end in .upd
                  (default: KVR516_UPDATE.upd beside the program)
  --wait SECONDS  give up when no mixer has connected within SECONDS
                  (default: wait for ever)
  --help          this text
  --version       the program's version and commit

Exit codes:
  0  finished: the whole file was sent (a last line says so where this
     computer could not confirm that the mixer received its end)
  1  the command line was not understood
  2  the check failed (code I1-I9, printed on the last line)
  3  connecting failed (code C1-C9)
  4  sending failed (code S1-S9)
  5  cancelled (Ctrl-C, or the process was asked to end)
  6  no mixer connected within --wait
  7  another copy of KVR516_UPDATE is already running
)";
}
