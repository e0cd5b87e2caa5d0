// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/RunRecord.h"

#include "net/DiagnosticLog.h"
#include "platform/AppendFile.h"
#include "platform/StateFolder.h"
#include "platform/SystemVersion.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>

namespace
{
// Taken as the program starts, before main: the run's time and the base of
// the times since the start. From the C++ library's clocks, which need nothing
// set up before them (JUCE's high-resolution counter on Windows does).
const auto startWall = std::chrono::system_clock::now();
const auto startSteady = std::chrono::steady_clock::now();

struct Record
{
    std::mutex lock;
    std::unique_ptr<AppendFile> file; // null when no record is kept
    juce::File path;
    bool headerWritten = false;
    juce::String program, language, updateFile, mixer, delivery, outcome;
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

// Appends text as one line, after the header if it is still to come. On a
// failure the record ends, and the reason to give on standard error is
// returned; empty when all went well. Called with the lock held.
juce::String appendLine(Record& r, const juce::String& text)
{
    if (r.file == nullptr)
        return {};
    juce::String lines;
    if (!r.headerWritten)
        lines << "=== start " << startTime() << "; " << r.program << "; " << SystemVersion::text()
              << "; language: " << orElse(r.language, "not chosen") << AppendFile::lineEnd;
    lines << text << AppendFile::lineEnd;
    r.headerWritten = true;

    const char* bytes = lines.toRawUTF8();
    // The header and the line go as one append, each a whole line.
    const juce::String failure = r.file->append(bytes, std::strlen(bytes));
    if (failure.isEmpty())
        return {};
    r.file.reset();
    return "the record of this run stops here, " + r.path.getFullPathName() +
           " cannot be written: " + failure;
}

// Standard error's one line about a record that is not kept, said without the
// lock (DiagnosticLog hands its lines to this record).
void say(const juce::String& why)
{
    if (why.isNotEmpty())
        DiagnosticLog::line(why);
}
} // namespace

juce::File RunRecord::defaultFolder()
{
    const juce::File state = StateFolder::get();
    return state == juce::File() ? juce::File() : state.getChildFile("KVR516_UPDATE");
}

bool RunRecord::open(const juce::File& folder, const juce::String& program)
{
    juce::String why;
    {
        Record& r = record();
        const std::lock_guard<std::mutex> guard(r.lock);
        r.file.reset();
        r.headerWritten = false;
        r.program = program;
        r.language = r.updateFile = r.mixer = r.delivery = r.outcome = {};
        r.path = folder.getChildFile(fileName);

        if (folder == juce::File())
        {
            why = "the system names no folder for it";
        }
        else if (const juce::Result made = folder.createDirectory(); made.failed())
        {
            why = "cannot make the folder " + folder.getFullPathName() + ": " +
                  made.getErrorMessage();
        }
        else
        {
            // JUCE's FileLogger trims as a run starts: whole lines from the end.
            juce::FileLogger::trimFileSize(r.path, sizeLimit);
            r.file = std::make_unique<AppendFile>(r.path);
            if (r.file->openError().isNotEmpty())
            {
                why = "cannot open " + r.path.getFullPathName() + ": " + r.file->openError();
                r.file.reset();
            }
        }
    }
    if (why.isEmpty())
        return true;
    say("no record of this run is kept (" + why + ")");
    return false;
}

void RunRecord::noteLanguage(const juce::String& name)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    record().language = name;
}

void RunRecord::line(const juce::String& text)
{
    juce::String why;
    {
        const std::lock_guard<std::mutex> guard(record().lock);
        why = appendLine(record(), "+" + secondsSinceStart() + " " + text);
    }
    say(why);
}

void RunRecord::noteUpdateFile(const juce::String& fileName, juce::int64 size,
                               const juce::String& sha256Hex)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    record().updateFile = fileName + ", " + juce::String(size) + " bytes, SHA-256 " + sha256Hex;
}

void RunRecord::noteMixer(const juce::String& address)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    record().mixer = address;
}

juce::String RunRecord::mixer()
{
    const std::lock_guard<std::mutex> guard(record().lock);
    return record().mixer;
}

void RunRecord::noteDelivery(double msFromLength, bool acknowledged)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    record().delivery = juce::String(msFromLength, 1) + " ms from the length to the last " +
                        (acknowledged ? "acknowledgement"
                                      : "write (this system does not tell the acknowledgements)");
}

void RunRecord::noteOutcome(const juce::String& outcome)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    if (record().outcome.isEmpty())
        record().outcome = outcome;
}

void RunRecord::close()
{
    juce::String why;
    {
        Record& r = record();
        const std::lock_guard<std::mutex> guard(r.lock);
        why = appendLine(r, "=== end after " + secondsSinceStart() +
                                "; outcome: " + orElse(r.outcome, "none shown") +
                                "; update file: " + orElse(r.updateFile, "not checked") +
                                "; mixer: " + orElse(r.mixer, "not connected") +
                                "; transfer: " + orElse(r.delivery, "none completed"));
        r.file.reset();
    }
    say(why);
}
