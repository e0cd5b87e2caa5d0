// KVR516_UPDATE, GPL-3.0-or-later.
#include "record/RunRecord.h"

#include "platform/AppendFile.h"
#include "platform/StateFolder.h"
#include "platform/SystemVersion.h"
#include "record/DiagnosticLog.h"
#include "record/ThreadRelease.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace
{
// Taken as the program starts, before main: the run's time and the base of
// the times since the start. From the C++ library's clocks, which need nothing
// set up before them (JUCE's high-resolution counter on Windows does).
const auto startWall = std::chrono::system_clock::now();
const auto startSteady = std::chrono::steady_clock::now();

// Lines waiting for the writer hold at most this many bytes: what comes
// beyond, while the file does not take them, is counted and not kept.
constexpr std::size_t queueLimit = 256 * 1024;
// How long close waits for the writer before it gives the writer up.
constexpr int closeWaitMs = 50;

// One run's record, from open to close, shared by the callers and its writer:
// guarded by the record's lock.
struct Run
{
    juce::File folder;
    juce::String program, language, updateFile, mixer, delivery, outcome;
    juce::String headerLanguage; // the language of the header, fixed by the first line
    std::string pending;         // whole lines, UTF-8, for the writer to append
    int leftOut = 0;             // lines not kept since the writer last took them
    bool closing = false;        // the closing line is queued: the writer ends once it is written
    bool stopped = false;        // no record is kept: lines are no longer queued
    std::condition_variable wake;
};

struct Record
{
    std::mutex lock;
    std::shared_ptr<Run> run;             // null before open and after close
    std::unique_ptr<juce::Thread> writer; // the run's writer
};

// Never destroyed: a thread that was given up (ThreadRelease) may still write
// a line while the process ends.
Record& record()
{
    static Record* const r = new Record;
    return *r;
}

juce::String secondsSinceStart()
{
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - startSteady;
    return juce::String(since.count(), 3) + " s";
}

juce::String startTime()
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(startWall.time_since_epoch());
    return juce::Time(static_cast<juce::int64>(ms.count())).toISO8601(true);
}

juce::String orElse(const juce::String& text, const char* otherwise)
{
    return text.isNotEmpty() ? text : juce::String(otherwise);
}

// Queues text as one line for the writer. The first one fixes the header's
// language as it is now; the writer puts the header before it. Beyond
// queueLimit a line is only counted, unless it is the closing one. Called
// with the lock held.
void queue(Run& run, const juce::String& text, bool closing = false)
{
    if (run.stopped)
        return;
    const std::string line = (text + AppendFile::lineEnd).toStdString();
    if (!closing && run.pending.size() + line.size() > queueLimit)
    {
        ++run.leftOut;
        return;
    }
    if (run.headerLanguage.isEmpty())
        run.headerLanguage = orElse(run.language, "not chosen");
    run.pending += line;
    run.wake.notify_one();
}

// Standard error's line about the record, said without the lock
// (DiagnosticLog hands its lines to this record).
void say(const juce::String& why)
{
    DiagnosticLog::line(why);
}

// Opens the run's file, trimming it first, and appends what is queued until
// the closing line is written. It alone waits on the file: a folder that
// never answers holds it and nothing else. It ends, saying why once, when no
// record can be kept.
class Writer : public juce::Thread
{
public:
    explicit Writer(std::shared_ptr<Run> of) : juce::Thread("run record"), state(std::move(of)) {}

    // Whatever is thrown (no memory for the trim's copy, say) ends the
    // record, as a file that cannot be written does.
    void run() override
    {
        try
        {
            write();
        }
        catch (...)
        {
            DiagnosticLog::thrown("the record's writer");
            try
            {
                stop("the record of this run stops here: its writer failed");
            }
            catch (...)
            {
                // Not even that could be said: the line above has told why.
            }
        }
    }

private:
    void write()
    {
        const juce::File path = state->folder.getChildFile(RunRecord::fileName);
        std::unique_ptr<AppendFile> file;
        juce::String why, notTrimmed;
        if (state->folder == juce::File())
        {
            why = "the system names no folder for it";
        }
        else if (const juce::Result made = state->folder.createDirectory(); made.failed())
        {
            why = "cannot make the folder " + state->folder.getFullPathName() + ": " +
                  made.getErrorMessage();
        }
        else
        {
            notTrimmed = AppendFile::trim(path, RunRecord::sizeLimit);
            file = std::make_unique<AppendFile>(path);
            if (file->openError().isNotEmpty())
                why = "cannot open " + path.getFullPathName() + ": " + file->openError();
        }
        if (why.isNotEmpty())
            return stop("no record of this run is kept (" + why + ")");
        if (notTrimmed.isNotEmpty())
            say("the record keeps its oldest lines, " + path.getFullPathName() +
                " cannot be trimmed: " + notTrimmed);

        // The system's name is read here, away from the callers' lock.
        juce::String header = "=== start " + startTime() + "; " + state->program + "; " +
                              SystemVersion::text() + "; language: ";
        for (;;)
        {
            std::string lines;
            {
                std::unique_lock<std::mutex> guard(record().lock);
                state->wake.wait(guard,
                                 [this] { return !state->pending.empty() || state->closing; });
                if (state->pending.empty())
                    return; // closed, and all written
                // The header goes with the first lines, and the language of the first.
                if (header.isNotEmpty())
                    lines = (header + state->headerLanguage + AppendFile::lineEnd).toStdString();
                header.clear();
                lines += state->pending;
                state->pending.clear();
                if (state->leftOut > 0)
                    lines += ("+" + secondsSinceStart() + " " + juce::String(state->leftOut) +
                              " lines left out: the record's file did not take them in time" +
                              AppendFile::lineEnd)
                                 .toStdString();
                state->leftOut = 0;
            }
            // Whole lines in one append.
            const juce::String failure = file->append(lines.data(), lines.size());
            if (failure.isNotEmpty())
                return stop("the record of this run stops here, " + path.getFullPathName() +
                            " cannot be written: " + failure);
        }
    }

    void stop(const juce::String& why)
    {
        {
            const std::lock_guard<std::mutex> guard(record().lock);
            state->stopped = true;
            state->pending.clear();
        }
        say(why);
    }

    std::shared_ptr<Run> state;
};
} // namespace

juce::File RunRecord::defaultFolder()
{
    const juce::File state = StateFolder::get();
    return state == juce::File() ? juce::File() : state.getChildFile("KVR516_UPDATE");
}

void RunRecord::open(const juce::File& folder, const juce::String& program)
{
    close(); // a record still open ends first
    auto run = std::make_shared<Run>();
    run->folder = folder;
    run->program = program;
    {
        Record& r = record();
        const std::lock_guard<std::mutex> guard(r.lock);
        r.writer = std::make_unique<Writer>(run);
        if (r.writer->startThread())
        {
            r.run = run;
            return;
        }
        r.writer.reset();
    }
    say("no record of this run is kept (no thread could be started for it)");
}

void RunRecord::noteLanguage(const juce::String& name)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    if (record().run != nullptr)
        record().run->language = name;
}

void RunRecord::line(const juce::String& text)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    if (record().run != nullptr)
        queue(*record().run, "+" + secondsSinceStart() + " " + text);
}

void RunRecord::noteUpdateFile(const juce::String& fileName, juce::int64 size,
                               const juce::String& sha256Hex)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    if (record().run != nullptr)
        record().run->updateFile =
            fileName + ", " + juce::String(size) + " bytes, SHA-256 " + sha256Hex;
}

void RunRecord::noteMixer(const juce::String& address)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    if (record().run != nullptr)
        record().run->mixer << (record().run->mixer.isEmpty() ? "" : ", ") << address;
}

void RunRecord::noteDelivery(double msFromLength, bool acknowledged)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    if (record().run != nullptr)
        record().run->delivery =
            juce::String(msFromLength, 1) + " ms from the length to the last " +
            (acknowledged ? "acknowledgement"
                          : "write (this system does not tell the acknowledgements)");
}

void RunRecord::noteOutcome(const juce::String& outcome)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    if (record().run != nullptr && record().run->outcome.isEmpty())
        record().run->outcome = outcome;
}

void RunRecord::close()
{
    std::unique_ptr<juce::Thread> writer;
    {
        Record& r = record();
        const std::lock_guard<std::mutex> guard(r.lock);
        if (r.run == nullptr)
            return;
        Run& run = *r.run;
        queue(run,
              "=== end after " + secondsSinceStart() +
                  "; outcome: " + orElse(run.outcome, "none shown") +
                  "; update file: " + orElse(run.updateFile, "not checked") +
                  "; mixer: " + orElse(run.mixer, "not connected") +
                  "; transfer: " + orElse(run.delivery, "none completed"),
              true);
        run.closing = true;
        run.wake.notify_one();
        r.run.reset();
        writer = std::move(r.writer);
    }
    // A writer held by the file system is given up: it writes what is queued
    // if the file system answers before the process ends.
    ThreadRelease::release(std::move(writer), closeWaitMs);
}
