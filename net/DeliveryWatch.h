// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/Acknowledgement.h"

#include <cstdint>
#include <functional>
#include <mutex>

// Whether the peer's TCP stack has acknowledged every byte written to one
// connection: made with the connection, read for the progress figure while
// the bytes are written and polled every few milliseconds once the last one
// is. The one rule on both systems:
//
// - unknown: the system refused the connection's first query, whichever
//   reading made it; it cannot tell, for as long as the connection lasts.
// - all: every byte written has been acknowledged. Where the count is exact
//   (Linux) a reset or close that follows does not undo it: a closed
//   connection whose count of unacknowledged bytes is 0 is all. Where the
//   system's reading asks for confirmation (Windows), a 0 counts only when it
//   was read while the connection was established and a second reading, at
//   least two round-trip times (and at least 10 ms) after the first, agrees
//   with it and no byte was sent, sent again or timed out between them.
// - failed: the connection closed with bytes still unacknowledged, or closed
//   (Windows) before a 0 was read while it was established, or a final
//   query failed, or was refused after the first one answered.
// - pending: otherwise, also while a reading contradicts itself (more bytes
//   acknowledged than written).
//
// all, failed and unknown are final: later polls give them again without
// asking the system. Safe to use from two threads (the progress readings on
// one, the final wait on another).
class DeliveryWatch
{
public:
    enum class State
    {
        all,
        pending,
        failed,
        unknown
    };

    // The shortest time between two readings that confirm each other.
    static constexpr double minConfirmationMs = 10.0;

    // Reads the platform for the connected socket handle.
    explicit DeliveryWatch(int handle);

    using Reader = std::function<Acknowledgement::Reading(std::uint64_t written)>;
    using Clock = std::function<double()>; // milliseconds
    DeliveryWatch(Reader reader, Clock clock);

    // Once every byte is written: written, all of them.
    State poll(std::uint64_t written);

    struct Progress
    {
        // Bytes the peer has acknowledged (never going back); where the
        // system cannot tell, the bytes written.
        std::uint64_t acknowledged = 0;
        bool systemTells = true;
    };

    // A reading for the progress figure while bytes are still being written
    // (written: so far). It decides nothing but whether the system tells.
    Progress progress(std::uint64_t written);

private:
    // Asks the system, and decides at the connection's first reading whether
    // it tells; false for a reading that says nothing of the count.
    bool read(std::uint64_t written, Acknowledgement::Reading& reading);
    State judge(const Acknowledgement::Reading& reading);
    bool sameCounters(const Acknowledgement::Reading& reading) const;

    std::mutex lock;
    Reader reader;
    Clock clock;
    State state = State::pending;
    bool asked = false;
    bool tells = true;
    std::uint64_t acknowledgedBytes = 0;

    // The earlier reading of 0 that waits for its confirmation.
    bool candidate = false;
    Acknowledgement::Reading first;
    double firstAt = 0.0;
};
