// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/MixerDelivery.h"

#include "net/Update.h"
#include "record/DiagnosticLog.h"
#include "record/ThreadRelease.h"
#include "update/Phase.h"

namespace
{
double nowMs()
{
    return juce::Time::getMillisecondCounterHiRes();
}

juce::int64 ofTheFile(juce::int64 bytes)
{
    return juce::jmax<juce::int64>(0, bytes - Protocol::lengthSize);
}
} // namespace

MixerDelivery::MixerDelivery(std::shared_ptr<juce::StreamingSocket> s,
                             const juce::File& programFile, const UpdateFile::Measure& checked,
                             double stall, int attempt, bool nameInLines)
    : name(nameOf(s != nullptr ? s->getHostName() : juce::String(), attempt)),
      logPrefix(nameInLines ? name + ": " : juce::String()), fileSize(checked.size),
      fileHash(Sha256::hex(checked.hash)), stallMs(stall), socket(std::move(s)),
      update(std::make_unique<Update>(socket, programFile, checked, logPrefix)),
      progress(checked.size, [this](double lengthMs) { endedPauseMs = lengthMs; })
{
    shown.address = socket != nullptr ? socket->getHostName() : juce::String();
    shown.attempt = attempt;
}

juce::String MixerDelivery::nameOf(const juce::String& address, int attempt)
{
    juce::String text = "mixer " + address;
    if (attempt == 2)
        text << " (second try)";
    else if (attempt > 2)
        text << " (try " << attempt << ")";
    return text;
}

MixerDelivery::~MixerDelivery()
{
    ThreadRelease::release(std::move(update));
}

bool MixerDelivery::start(const std::function<bool(juce::Thread&)>& startThread)
{
    stillSinceMs = nowMs();
    started = true;
    if (startThread(*update))
        return true;
    update.reset();
    end(StageResult::code4, nowMs());
    return false;
}

void MixerDelivery::stop(StageResult why)
{
    if (!stopAsked)
        stopResult = why;
    stopAsked = true;
    if (update != nullptr)
        update->signalThreadShouldExit();
}

bool MixerDelivery::poll()
{
    if (update == nullptr)
        return true;
    const double now = nowMs();
    const Update::Status s = update->getStatus();
    if (s == Update::Status::running && !stopAsked)
    {
        if (now >= nextReadingMs)
        {
            noteProgress(now);
            nextReadingMs = now + progressReadingMs;
        }
        if (stallMs <= 0)
            return false;
        juce::int64 taken = 0;
        {
            const std::lock_guard<std::mutex> guard(lock);
            taken = progress.figures(now).taken;
        }
        if (taken != stillAt)
        {
            stillAt = taken;
            stillSinceMs = now;
        }
        if (now - stillSinceMs < stallMs)
            return false;
        DiagnosticLog::line(logPrefix + "the mixer had taken nothing for " +
                            juce::String(juce::roundToInt(stallMs / 1000)) +
                            " s, the longest allowed: the send ends");
        {
            const std::lock_guard<std::mutex> guard(lock);
            shown.stalled = true;
        }
        stop(StageResult::code3);
        return false;
    }

    // A send that finished as it was asked to stop has finished.
    if (s == Update::Status::done)
        end(StageResult::success, now);
    else if (s != Update::Status::running && s != Update::Status::stopped)
        end(stageResultOf(s), now);
    else
        end(stopResult, now);
    return true;
}

void MixerDelivery::end(StageResult r, double now)
{
    Report ended;
    {
        const std::lock_guard<std::mutex> guard(lock);
        shown.ended = true;
        shown.result = r;
        if (update != nullptr)
        {
            shown.bytesWritten = ofTheFile(update->getBytesWritten());
            shown.unconfirmed = r == StageResult::success && !update->isConfirmed();
            shown.deliveryMs = update->getDeliveryMs();
        }
        if (r == StageResult::success)
            progress.finish(now);
        else
            progress.end(now);
        ended = shown;
    }
    logEndedPause();
    logEnd(ended);
    ThreadRelease::release(std::move(update));
}

// The record's line on how the mixer's delivery ended, with what it was sent.
void MixerDelivery::logEnd(const Report& r) const
{
    juce::String line = name + ": ";
    if (r.bytesWritten == fileSize)
        line << "the whole file sent, " << fileSize << " bytes, SHA-256 " << fileHash;
    else
        line << r.bytesWritten << " of " << fileSize << " bytes sent";
    line << "; outcome: ";
    if (r.result == StageResult::success)
        line << (r.unconfirmed ? "finished, its end not confirmed" : "finished");
    else if (r.result == StageResult::cancelled)
        line << "cancelled";
    else
        line << "_" << juce::String(stageCode(Phase::send, r.result))
             << (r.stalled ? ", stalled" : "");
    DiagnosticLog::line(line);
}

MixerDelivery::Report MixerDelivery::report() const
{
    const std::lock_guard<std::mutex> guard(lock);
    Report r = shown;
    r.figures = progress.figures(nowMs());
    return r;
}

// Read a few times a second through the connection's DeliveryWatch, whose
// first reading decides for the whole connection whether the system tells:
// the sending thread makes no call for it. The figure is what the mixer's
// stack has acknowledged; where the system does not tell, what was written.
// The length's bytes are not the file's.
void MixerDelivery::noteProgress(double now)
{
    const juce::int64 written = update->getBytesWritten();
    const DeliveryWatch::Progress delivery = update->readDelivery();
    std::optional<juce::int64> acknowledged;
    if (delivery.systemTells)
        acknowledged = ofTheFile(static_cast<juce::int64>(delivery.acknowledged));
    bool countsWritten = false;
    {
        const std::lock_guard<std::mutex> guard(lock);
        progress.note(ofTheFile(written), acknowledged, now);
        countsWritten = !progress.isAcknowledged();
    }
    logEndedPause();
    if (countsWritten && !saidFigureIsWritten)
    {
        saidFigureIsWritten = true;
        DiagnosticLog::line(logPrefix +
                            "this system does not tell what the mixer has "
                            "acknowledged: the sending figure counts the bytes written");
    }
}

// Never under the lock: the log may wait on its own.
void MixerDelivery::logEndedPause()
{
    if (endedPauseMs <= 0)
        return;
    DiagnosticLog::line(logPrefix + "the mixer had taken nothing for " +
                        juce::String(juce::roundToInt(endedPauseMs / 1000)) + " s until now");
    endedPauseMs = 0;
}
