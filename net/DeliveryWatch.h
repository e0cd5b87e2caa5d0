// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/Acknowledgement.h"

#include <cstdint>
#include <functional>

// Whether the peer's TCP stack has acknowledged every byte written to a
// connection, polled every few milliseconds while the transfer waits for its
// end. The one rule on both systems:
//
// - all: every byte written has been acknowledged. Once it has, a reset or
//   close that follows does not undo it: a closed connection whose count of
//   unacknowledged bytes is 0 is all. Where the system's reading asks for
//   confirmation (Windows), a 0 counts only once a second reading, at least
//   two round-trip times (and at least 10 ms) after the first, agrees with
//   it and no byte was sent, sent again or timed out between them.
// - failed: the connection closed with bytes still unacknowledged, or the
//   query failed, or was refused after it once answered.
// - unknown: the system refused the first query; it cannot tell.
// - pending: otherwise.
//
// all, failed and unknown are final: later polls give them again without
// asking the system.
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

    // written: every byte written to the connection so far.
    State poll(std::uint64_t written);

    // Bytes the peer has acknowledged as of the last poll (written less
    // unacknowledged, never going back); where the system cannot tell, the
    // bytes written. For a progress figure; like poll, on the polling thread.
    std::uint64_t acknowledged() const noexcept { return acknowledgedBytes; }

    // False once the first query was refused.
    bool systemTells() const noexcept { return tells; }

private:
    State judge(const Acknowledgement::Reading& reading);
    bool sameCounters(const Acknowledgement::Reading& reading) const;

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
