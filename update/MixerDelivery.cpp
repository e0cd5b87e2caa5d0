// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/MixerDelivery.h"

#include "net/Update.h"
#include "record/DiagnosticLog.h"
#include "record/ThreadRelease.h"

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
                             double stall, const juce::String& mixerName)
    : logPrefix(mixerName.isEmpty() ? juce::String() : "mixer " + mixerName + ": "), stallMs(stall),
      socket(std::move(s)),
      update(std::make_unique<Update>(socket, programFile, checked, mixerName)),
      progress(checked.size, [this](double lengthMs) { endedPauseMs = lengthMs; })
{
    shown.address = socket != nullptr ? socket->getHostName() : juce::String();
}

MixerDelivery::~MixerDelivery()
{
    ThreadRelease::release(std::move(update));
}

bool MixerDelivery::start(const std::function<bool(juce::Thread&)>& startThread)
{
    stillSinceMs = nowMs();
    if (startThread(*update))
        return true;
    update.reset();
    end(StageResult::code4, nowMs());
    return false;
}

void MixerDelivery::stop()
{
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
        stop();
        return false;
    }

    // A send that finished as it was asked to stop has finished.
    if (s == Update::Status::done)
        end(StageResult::success, now);
    else if (s != Update::Status::running && s != Update::Status::stopped)
        end(stageResultOf(s), now);
    else
        end(shown.stalled ? StageResult::code3 : StageResult::cancelled, now);
    return true;
}

void MixerDelivery::end(StageResult r, double now)
{
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
    }
    logEndedPause();
    ThreadRelease::release(std::move(update));
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
