// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <cstdint>

// What this computer's TCP stack knows of the bytes written to a connected
// stream socket (given by its raw handle): whether the peer's stack has
// acknowledged every one of them. Handing bytes to a write only puts them in
// this computer's send buffer, which may hold the last hundred kilobytes or
// more whether or not they ever leave.
class Acknowledgement
{
public:
    enum class State
    {
        all,     // every byte written has been acknowledged by the peer
        pending, // some are not yet sent or not yet acknowledged
        failed,  // the connection was reset, or the system gave up on it
        unknown  // the system does not tell (the query is refused)
    };

    // written: every byte written to the connection so far.
    static State of(int handle, std::uint64_t written) noexcept;
};
