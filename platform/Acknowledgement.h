// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <cstdint>

// What this computer's TCP stack tells, in one query, of the bytes written to
// a connected stream socket (given by its raw handle): how many of them the
// peer's stack has not yet acknowledged, and whether the connection is
// closed. Handing bytes to a write only puts them in this computer's send
// buffer, which may hold the last hundred kilobytes or more whether or not
// they ever leave. What the reading means for the transfer is DeliveryWatch's
// to decide (net/).
class Acknowledgement
{
public:
    enum class Answer
    {
        answered, // the system told; the fields below hold what it said
        refused,  // the system does not offer the query (too old, or not this system)
        failed    // the query failed (error holds the system's code)
    };

    struct Reading
    {
        Answer answer = Answer::failed;
        int error = 0; // the system's error code when the query failed or was refused
        // The connection was reset, or the system gave up on it.
        bool closed = false;
        // Bytes written and not yet acknowledged by the peer, sent or not.
        std::uint64_t unacknowledged = 0;

        // Where the system's count of unacknowledged bytes is derived from
        // counters whose meaning it does not fully document (Windows), a 0 is
        // to be believed only when a later reading, at least two round-trip
        // times on, agrees with it and no byte was sent or sent again
        // between them. The counters to compare:
        bool needsConfirmation = false;
        std::uint64_t bytesOut = 0; // bytes sent, retransmissions included
        std::uint64_t bytesRetransmitted = 0;
        std::uint32_t timeoutEpisodes = 0; // retransmission time-outs so far
        std::uint32_t roundTripUs = 0;     // the smoothed round-trip time
        // The counters contradict each other or the bytes written (more
        // acknowledged than written): the reading tells nothing.
        bool inconsistent = false;
    };

    // written: every byte written to the connection so far.
    static Reading read(int handle, std::uint64_t written) noexcept;
};
